#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"
#include "support/TempDir.h"

namespace {

constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(i * 131 + seed * 7 + (i >> 9));
  return bytes;
}

void AddStream(StorageNode& node, const WideString& name, std::vector<std::uint8_t> bytes) {
  auto element = std::make_shared<StorageElement>();
  element->name = name;
  element->stream = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
  node.children[FoldElementName(name)] = element;
}

StorageNode& AddStorage(StorageNode& node, const WideString& name) {
  auto element = std::make_shared<StorageElement>();
  element->name = name;
  element->storage = std::make_shared<StorageNode>();
  node.children[FoldElementName(name)] = element;
  return *element->storage;
}

// Trees are equal when they hold the same names, classes and bytes.
bool Equal(const StorageNode& a, const StorageNode& b) {
  if (a.clsid != b.clsid || a.children.size() != b.children.size()) return false;
  for (const auto& [key, element] : a.children) {
    const auto other = b.children.find(key);
    if (other == b.children.end() || other->second->name != element->name) return false;
    if (bool(element->stream) != bool(other->second->stream)) return false;
    if (element->stream ? *element->stream != *other->second->stream
                        : !Equal(*element->storage, *other->second->storage))
      return false;
  }
  return true;
}

// The shape of a tree: kinds and sizes of the elements of each storage, in order; and the number
// of data bytes that differ between two trees of the same shape.
bool SameShape(const StorageNode& a, const StorageNode& b, std::size_t& differingBytes) {
  if (a.children.size() != b.children.size()) return false;
  for (auto x = a.children.begin(), y = b.children.begin(); x != a.children.end(); ++x, ++y) {
    const StorageElement &p = *x->second, &q = *y->second;
    if (bool(p.stream) != bool(q.stream)) return false;
    if (p.stream) {
      if (p.stream->size() != q.stream->size()) return false;
      for (std::size_t i = 0; i < p.stream->size(); ++i) differingBytes += (*p.stream)[i] != (*q.stream)[i];
    } else if (!SameShape(*p.storage, *q.storage, differingBytes)) {
      return false;
    }
  }
  return true;
}

// Kinds and allocated sizes of all elements with their depth, sorted: what neither renaming nor a
// size that stays within its last sector (which no check can see) changes.
void Sizes(const StorageNode& node, int depth, std::vector<std::tuple<int, bool, std::size_t>>& sizes) {
  for (const auto& [key, element] : node.children) {
    const std::size_t size = element->stream ? element->stream->size() : 0;
    const std::size_t unit = size >= 4096 ? 512 : 64;
    sizes.emplace_back(depth, bool(element->stream), (size + unit - 1) / unit * unit);
    if (element->storage) Sizes(*element->storage, depth + 1, sizes);
  }
  std::sort(sizes.begin(), sizes.end());
}

std::shared_ptr<StorageNode> SampleTree(const std::vector<std::size_t>& sizes) {
  auto root = std::make_shared<StorageNode>();
  root->clsid = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  for (std::size_t i = 0; i < sizes.size(); ++i)
    AddStream(*root, OLESTR("Stream") + WideString(1, WCHAR(WCHAR('A') + i)), Pattern(sizes[i], unsigned(i)));
  StorageNode& inner = AddStorage(*root, OLESTR("Inner \u00C4\u03A9"));
  inner.clsid = {0xAABBCCDD, 1, 2, {9, 9, 9, 9, 9, 9, 9, 9}};
  AddStream(inner, OLESTR("x"), Pattern(100, 99));
  AddStream(AddStorage(inner, OLESTR("Deeper")), OLESTR("y\u00E9"), Pattern(5000, 98));
  return root;
}

std::vector<std::uint8_t> Encode(const StorageNode& root) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(EncodeCompoundFile(root, bytes), S_OK);
  return bytes;
}

TEST(CompoundFile, RoundTripsAroundEveryBoundary) {
  const auto tree = SampleTree({0, 1, 63, 64, 65, 4095, 4096, 4097, 513, 200000});
  const std::vector<std::uint8_t> bytes = Encode(*tree);
  EXPECT_EQ(bytes.size() % 512, 0u);
  std::shared_ptr<StorageNode> decoded;
  ASSERT_EQ(DecodeCompoundFile(bytes, decoded), S_OK);
  EXPECT_TRUE(Equal(*tree, *decoded));
}

TEST(CompoundFile, ManyStreamsAndFilesBeyondSevenMegabytesNeedTheDifat) {
  auto root = std::make_shared<StorageNode>();
  for (int i = 0; i < 200; ++i)
    AddStream(*root, OLESTR("s") + WideString(1, WCHAR(WCHAR('0') + i % 10)) + WideString(i / 10 + 1, WCHAR('x')),
              Pattern(std::size_t(i * 37), unsigned(i)));
  AddStream(*root, OLESTR("Large"), Pattern(9'000'000, 5));
  const std::vector<std::uint8_t> bytes = Encode(*root);
  EXPECT_GT(std::uint32_t(bytes[72]) | std::uint32_t(bytes[73]) << 8, 0u) << "DIFAT sectors in the header";
  std::shared_ptr<StorageNode> decoded;
  ASSERT_EQ(DecodeCompoundFile(bytes, decoded), S_OK);
  EXPECT_TRUE(Equal(*root, *decoded));
}

TEST(CompoundFile, NamesTheFormatForbidsAreRefused) {
  for (const WideString& name : {WideString(32, WCHAR('a')), WideString(OLESTR("a/b")), WideString(OLESTR("a\\b")),
                                 WideString(OLESTR("a:b")), WideString(OLESTR("a!b")), WideString()}) {
    StorageNode root;
    AddStream(root, name, {});
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(EncodeCompoundFile(root, bytes), STG_E_INVALIDNAME);
  }
  StorageNode twins;
  AddStream(twins, OLESTR("Name"), {});
  auto other = std::make_shared<StorageElement>();
  other->name = OLESTR("NAME");
  other->stream = std::make_shared<std::vector<std::uint8_t>>();
  twins.children[OLESTR("name-other")] = other;
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(EncodeCompoundFile(twins, bytes), STG_E_INVALIDNAME);
}

TEST(CompoundFile, WhatIsNoCompoundFileOrIsDamagedGivesACode) {
  std::shared_ptr<StorageNode> decoded;
  const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(DecodeCompoundFile(text, decoded), STG_E_FILEALREADYEXISTS);
  std::vector<std::uint8_t> bytes = Encode(*SampleTree({10, 5000}));
  bytes[30] = 10;  // a sector size that no version has
  EXPECT_EQ(DecodeCompoundFile(bytes, decoded), STG_E_INVALIDHEADER);
}

TEST(CompoundFile, EveryTruncationIsRefusedOrHarmless) {
  const auto tree = SampleTree({10, 70, 5000});
  const std::vector<std::uint8_t> bytes = Encode(*tree);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    std::shared_ptr<StorageNode> decoded;
    const HRESULT result = DecodeCompoundFile(std::span(bytes).first(length), decoded);
    if (SUCCEEDED(result)) {
      EXPECT_TRUE(Equal(*tree, *decoded)) << "truncated to " << length << " bytes gave other data";
    } else {
      EXPECT_TRUE(result == STG_E_DOCFILECORRUPT || result == STG_E_FILEALREADYEXISTS) << length;
    }
  }
}

TEST(CompoundFile, RandomDamageIsSeenOrTouchesOnlyWhatTheFormatCannotCheck) {
  const auto tree = SampleTree({10, 70, 5000, 0});
  const std::vector<std::uint8_t> bytes = Encode(*tree);
  std::mt19937 random(20261205);
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    std::vector<std::uint8_t> damaged = bytes;
    const int flips = 1 + int(random() % 3);
    for (int f = 0; f < flips; ++f) damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
    std::shared_ptr<StorageNode> decoded;
    if (FAILED(DecodeCompoundFile(damaged, decoded))) {
      ++refused;
      continue;
    }
    // The format has no checksums: stream bytes, names and classes may change unseen, but never
    // the shape of the tree or a stream's size, and never more bytes than were flipped.
    std::size_t differing = 0;
    if (SameShape(*tree, *decoded, differing)) {
      EXPECT_LE(differing, std::size_t(flips)) << "damage " << i;
      continue;
    }
    // A renamed element moves in the ordered map: the sizes must still all be there.
    std::vector<std::tuple<int, bool, std::size_t>> expected, got;
    Sizes(*tree, 0, expected);
    Sizes(*decoded, 0, got);
    EXPECT_EQ(expected, got) << "damage " << i << " changed the tree unseen";
  }
  EXPECT_GT(refused, 100);
}

TEST(CompoundFileStorage, CommittedStoresOpenAgainAndFailuresKeepTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("store.gdr");
  const WideString wide(path.begin(), path.end());
  ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(wide.c_str(), kCreate, 0, storage.Receive()), S_OK);
  EXPECT_TRUE(std::filesystem::exists(path));
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->CreateStream(OLESTR("DataPath"), kCreate, 0, 0, stream.Receive()), S_OK);
  ASSERT_EQ(stream->Write("abc", 4, nullptr), S_OK);
  stream.Reset();
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  storage.Reset();
  EXPECT_EQ(StgCreateDocfile(wide.c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.Receive()),
            STG_E_FILEALREADYEXISTS);

  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Receive()),
            S_OK);
  ASSERT_EQ(storage->OpenStream(OLESTR("DataPath"), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive()),
            S_OK);
  char text[8] = {};
  ULONG read = 0;
  stream->Read(text, sizeof text, &read);
  EXPECT_EQ(read, 4u);
  EXPECT_STREQ(text, "abc");
  stream.Reset();

  // A folder that cannot be written: the commit fails and the committed file stays as it was.
  const auto before = std::filesystem::file_size(path);
  ASSERT_EQ(storage->CreateStream(OLESTR("More"), kCreate, 0, 0, stream.Receive()), S_OK);
  stream.Reset();
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const bool enforced = ::access(dir.File("probe").c_str(), W_OK) != 0 && geteuid() != 0;
  const HRESULT committed = storage->Commit(STGC_DEFAULT);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
  if (enforced) {
    EXPECT_EQ(committed, STG_E_ACCESSDENIED);
  }
  EXPECT_EQ(std::filesystem::file_size(path), enforced ? before : std::filesystem::file_size(path));
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().filename().string().find(".XXXXXX"), std::string::npos);

  EXPECT_EQ(StgOpenStorage(OLESTR("/nonexistent/store"), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                           storage.Receive()),
            STG_E_FILENOTFOUND);
  dir.Write("text.txt", "no compound file at all");
  const std::string textPath = dir.File("text.txt");
  EXPECT_EQ(StgOpenStorage(WideString(textPath.begin(), textPath.end()).c_str(), nullptr,
                           STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Receive()),
            STG_E_FILEALREADYEXISTS);
}

TEST(CompoundFileStorage, ACommitThatFailsHalfWayLeavesTheEarlierFileIntact) {
  TempDir dir;
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(EncodeCompoundFile(*SampleTree({10}), bytes), S_OK);
  const std::string path = dir.File("kept.gdr");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  const WideString wide(path.begin(), path.end());
  ComPtr<IStorage> storage;
  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Receive()),
            S_OK);
  EXPECT_EQ(storage->Commit(STGC_DEFAULT), STG_E_ACCESSDENIED);  // opened for reading only

  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Receive()),
            S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->CreateStream(OLESTR("Big"), kCreate, 0, 0, stream.Receive()), S_OK);
  const std::vector<std::uint8_t> big = Pattern(100000, 1);
  ASSERT_EQ(stream->Write(big.data(), ULONG(big.size()), nullptr), S_OK);
  stream.Reset();
  // The disk fills after 8 KB: the write fails half way.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 8192;
  setrlimit(RLIMIT_FSIZE, &small);
  const HRESULT committed = storage->Commit(STGC_DEFAULT);
  setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_EQ(committed, STG_E_WRITEFAULT);
  std::shared_ptr<StorageNode> kept;
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(onDisk, bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
