#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <tuple>

#include "platform/CompoundFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kOtherShape = std::numeric_limits<std::size_t>::max();

WideString Wide(const std::string& text) { return WideString(text.begin(), text.end()); }

std::shared_ptr<StorageElement> AddElement(StorageNode& node, const WideString& name) {
  auto& element = node.children[FoldElementName(name)] = std::make_shared<StorageElement>();
  element->name = name;
  return element;
}
void AddStream(StorageNode& node, const WideString& name, Bytes bytes) {
  AddElement(node, name)->stream = std::make_shared<Bytes>(std::move(bytes));
}
StorageNode& AddStorage(StorageNode& node, const WideString& name) {
  return *(AddElement(node, name)->storage = std::make_shared<StorageNode>());
}

// How many names, classes and stream bytes differ between two trees of the same shape (the same
// kinds and stream sizes in the same order); kOtherShape when the shapes differ.
std::size_t Differences(const StorageNode& a, const StorageNode& b) {
  if (a.children.size() != b.children.size()) return kOtherShape;
  std::size_t differences = a.clsid != b.clsid;
  for (auto x = a.children.begin(), y = b.children.begin(); x != a.children.end(); ++x, ++y) {
    const StorageElement &p = *x->second, &q = *y->second;
    if (bool(p.stream) != bool(q.stream) || (p.stream && p.stream->size() != q.stream->size())) return kOtherShape;
    differences += p.name != q.name;
    if (p.stream) {
      for (std::size_t i = 0; i < p.stream->size(); ++i) differences += (*p.stream)[i] != (*q.stream)[i];
    } else if (const std::size_t inner = Differences(*p.storage, *q.storage); inner != kOtherShape) {
      differences += inner;
    } else {
      return kOtherShape;
    }
  }
  return differences;
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

// Streams "s<size>" holding byte (i × 31 + size + i / 512) mod 256 at offset i, so that sectors read in
// another order show, a class, and a storage "Inner" holding "t100" and a storage "Deep" with a name
// beyond ASCII. With kInteropSizes this is the store that our codec, olefile (Python, strict mode;
// olefile_check.py) and the libgsf writer (gsf_writer.c) write and check alike.
const std::vector<std::size_t> kInteropSizes = {0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 7500000};

Bytes Content(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(i * 31 + size + (i >> 9));
  return bytes;
}

std::shared_ptr<StorageNode> Tree(const std::vector<std::size_t>& sizes) {
  auto root = std::make_shared<StorageNode>();
  root->clsid = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  for (const std::size_t size : sizes) AddStream(*root, Wide("s" + std::to_string(size)), Content(size));
  StorageNode& inner = AddStorage(*root, OLESTR("Inner"));
  AddStream(inner, OLESTR("t100"), Content(100));
  AddStream(AddStorage(inner, OLESTR("Deep")), OLESTR("Gr\u00FC\u00DFe"), Content(5000));
  return root;
}

Bytes Encode(const StorageNode& root) {
  Bytes bytes;
  EXPECT_EQ(EncodeCompoundFile(root, bytes), S_OK);
  return bytes;
}

// Sizes around the sector and mini-stream limits, a directory and a mini FAT of many sectors, and a
// stream beyond 7 MB, whose allocation table needs the DIFAT.
TEST(CompoundFile, RoundTripsAroundEveryBoundary) {
  const auto tree = Tree({0, 1, 63, 64, 65, 513, 4095, 4096, 4097, 70000, 7500000});
  StorageNode& many = AddStorage(*tree, OLESTR("Many"));
  for (std::size_t i = 0; i < 200; ++i) AddStream(many, Wide("s" + std::to_string(i)), Bytes(i * 37, std::uint8_t(i)));
  AddStream(many, OLESTR("fill"), Bytes(3072, 1));  // 3,712 mini sectors: a mini FAT that fills its sectors
  const Bytes bytes = Encode(*tree);
  EXPECT_EQ(bytes.size() % 512, 0u);
  EXPECT_GT(std::uint32_t(bytes[72]) | std::uint32_t(bytes[73]) << 8, 0u) << "DIFAT sectors in the header";
  std::shared_ptr<StorageNode> decoded;
  ASSERT_EQ(DecodeCompoundFile(bytes, decoded), S_OK);
  EXPECT_EQ(Differences(*tree, *decoded), 0u);
}

TEST(CompoundFile, WhatTheFormatCannotHoldOrIsNoCompoundFileGivesACode) {
  for (const WideString& name : {WideString(32, WCHAR('a')), WideString(OLESTR("a/b")), WideString(OLESTR("a\\b")),
                                 WideString(OLESTR("a:b")), WideString(OLESTR("a!b")), WideString()}) {
    StorageNode root;
    AddStream(root, name, {});
    Bytes bytes;
    EXPECT_EQ(EncodeCompoundFile(root, bytes), STG_E_INVALIDNAME);
  }
  StorageNode twins;  // two names that differ only in case
  AddStream(twins, OLESTR("Name"), {});
  (twins.children[OLESTR("other")] = std::make_shared<StorageElement>(*twins.children.begin()->second))->name =
      OLESTR("NAME");
  Bytes bytes;
  EXPECT_EQ(EncodeCompoundFile(twins, bytes), STG_E_INVALIDNAME);

  std::shared_ptr<StorageNode> decoded;
  EXPECT_EQ(DecodeCompoundFile(Bytes{'h', 'e', 'l', 'l', 'o'}, decoded), STG_E_FILEALREADYEXISTS);
  bytes = Encode(*Tree({10, 5000}));
  bytes[30] = 10;  // a sector size that no version has
  EXPECT_EQ(DecodeCompoundFile(bytes, decoded), STG_E_INVALIDHEADER);
}

// Every truncation and random damage is refused or touches only what the format cannot check.
TEST(CompoundFile, DamageIsSeenOrTouchesOnlyWhatTheFormatCannotCheck) {
  const auto tree = Tree({10, 70, 5000, 0});
  const Bytes bytes = Encode(*tree);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    std::shared_ptr<StorageNode> decoded;
    const HRESULT result = DecodeCompoundFile(std::span(bytes).first(length), decoded);
    if (SUCCEEDED(result)) {
      EXPECT_EQ(Differences(*tree, *decoded), 0u) << "truncated to " << length << " bytes gave other data";
    } else {
      EXPECT_TRUE(result == STG_E_DOCFILECORRUPT || result == STG_E_FILEALREADYEXISTS) << length;
    }
  }
  std::mt19937 random(20261205);
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    Bytes damaged = bytes;
    const int flips = 1 + int(random() % 3);
    for (int f = 0; f < flips; ++f) damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
    std::shared_ptr<StorageNode> decoded;
    if (FAILED(DecodeCompoundFile(damaged, decoded))) {
      ++refused;
      continue;
    }
    // The format has no checksums: stream bytes, names and classes may change unseen, but never
    // the shape of the tree or a stream's size, and never more than was flipped.
    if (const std::size_t differences = Differences(*tree, *decoded); differences != kOtherShape) {
      EXPECT_LE(differences, std::size_t(flips)) << "damage " << i;
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

// olefile reads our store, and we read the one libgsf writes.
TEST(CompoundFileInterop, OlefileReadsOursAndWeReadLibgsfs) {
  TempDir dir;
  const Bytes bytes = Encode(*Tree(kInteropSizes));
  const std::string ours = dir.Write("ours.cfb", std::string(bytes.begin(), bytes.end())), gsf = dir.File("gsf.cfb");
  ProgramRun run = RunProgram("/usr/bin/python3", GDR_OLEFILE_CHECK " " + ours, dir.File("out"), dir.File("err"));
  EXPECT_TRUE(run.ended && run.status == 0) << Slurp(dir.File("err"));
  // libgsf keeps global allocations to the end of the process; they are not ours to report.
  run = RunProgram("env", "ASAN_OPTIONS=detect_leaks=0 " GDR_GSF_WRITER " " + gsf, dir.File("out"), dir.File("err"));
  ASSERT_TRUE(run.ended && run.status == 0) << Slurp(dir.File("err"));
  const std::string written = Slurp(gsf);
  std::shared_ptr<StorageNode> decoded;
  ASSERT_EQ(DecodeCompoundFile(Bytes(written.begin(), written.end()), decoded), S_OK);
  EXPECT_EQ(Differences(*Tree(kInteropSizes), *decoded), 0u);
}

}  // namespace
