#include <gtest/gtest.h>

#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/CompoundFile.h"
#include "support/TempDir.h"
#endif

#include "platform/ComRuntime.h"
#include "platform/MemoryStorage.h"

namespace {

constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x1012
constexpr DWORD kReadWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;             // 0x12
constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;                       // 0x10

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CreateMemoryStorage(storage.Receive()), S_OK); }

  void WriteStream(LPCOLESTR name, std::string_view bytes) {
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, kCreate, 0, 0, stream.Receive()), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), &written), S_OK);
    EXPECT_EQ(written, bytes.size());
  }
  std::string ReadStream(LPCOLESTR name) {
    ComPtr<IStream> stream;
    EXPECT_EQ(storage->OpenStream(name, nullptr, kRead, 0, stream.Receive()), S_OK);
    if (!stream) return "<none>";
    std::string bytes(64, '\0');
    ULONG read = 0;
    EXPECT_EQ(stream->Read(bytes.data(), ULONG(bytes.size()), &read), S_OK);
    bytes.resize(read);
    return bytes;
  }

  ComPtr<IStorage> storage;
};

TEST_F(StorageTest, StreamsKeepWhatWasWrittenAndReplaceWithTheCreateBit) {
  WriteStream(OLESTR("DataPath"), "abc");
  EXPECT_EQ(ReadStream(OLESTR("DATAPATH")), "abc");  // names compare without case
  WriteStream(OLESTR("DataPath"), "xy");
  EXPECT_EQ(ReadStream(OLESTR("DataPath")), "xy");
  ComPtr<IStream> stream;
  EXPECT_EQ(storage->CreateStream(OLESTR("DataPath"), kReadWrite, 0, 0, stream.Receive()), STG_E_FILEALREADYEXISTS);
  EXPECT_FALSE(stream);
  EXPECT_EQ(storage->RenameElement(OLESTR("DataPath"), OLESTR("T")), S_OK);
  EXPECT_EQ(ReadStream(OLESTR("T")), "xy");
  EXPECT_EQ(storage->DestroyElement(OLESTR("T")), S_OK);
  EXPECT_EQ(storage->DestroyElement(OLESTR("T")), STG_E_FILENOTFOUND);
}

// Windows refuses these; Wine's storage lets some through, so they hold for our storage only.
#if !defined(_WIN32)
TEST_F(StorageTest, OpeningCodes) {
  WriteStream(OLESTR("S"), "1");
  ComPtr<IStream> stream, second;
  ULONG written = 5;
  const std::pair<HRESULT, HRESULT> cases[] = {
      {storage->OpenStream(OLESTR("None"), nullptr, kRead, 0, stream.Receive()), STG_E_FILENOTFOUND},
      {storage->OpenStream(OLESTR("S"), nullptr, STGM_READ, 0, stream.Receive()), STG_E_INVALIDFLAG},
      {storage->CreateStream(OLESTR("T"), STGM_CREATE | STGM_READWRITE, 0, 0, stream.Receive()), STG_E_INVALIDFLAG},
      {storage->CreateStream(OLESTR("T"), STGM_CREATE | kRead, 0, 0, stream.Receive()), STG_E_INVALIDFLAG},
      {storage->CreateStream(OLESTR("a/b"), kCreate, 0, 0, stream.Receive()), STG_E_INVALIDNAME},
      {storage->CreateStream(nullptr, kCreate, 0, 0, stream.Receive()), STG_E_INVALIDPOINTER},
      // while "S" is open
      {storage->OpenStream(OLESTR("S"), nullptr, kRead, 0, stream.Receive()), S_OK},
      {storage->OpenStream(OLESTR("S"), nullptr, kRead, 0, second.Receive()), STG_E_ACCESSDENIED},
      {storage->CreateStream(OLESTR("S"), kCreate, 0, 0, second.Receive()), STG_E_ACCESSDENIED},
      {storage->DestroyElement(OLESTR("S")), STG_E_ACCESSDENIED},
      {stream->Write("x", 1, &written), STG_E_ACCESSDENIED},  // opened for reading
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  EXPECT_EQ(written, 0u);
  stream.Reset();
  EXPECT_EQ(storage->OpenStream(OLESTR("S"), nullptr, kReadWrite, 0, second.Receive()), S_OK);
}
#endif

TEST_F(StorageTest, SeekReadAndStat) {
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->CreateStream(OLESTR("Name"), kCreate, 0, 0, stream.Receive()), S_OK);
  ASSERT_EQ(stream->Write("Raw Data", 9, nullptr), S_OK);
  ULARGE_INTEGER position{};
#if !defined(_WIN32)
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{.QuadPart = -1}, STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
#endif
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{.QuadPart = 4}, STREAM_SEEK_SET, &position), S_OK);
  char bytes[16] = {};
  ULONG read = 0;
  EXPECT_EQ(stream->Read(bytes, sizeof bytes, &read), S_OK);
  EXPECT_EQ(read, 5u);
  EXPECT_STREQ(bytes, "Data");
  EXPECT_EQ(stream->Read(bytes, sizeof bytes, &read), S_OK);
  EXPECT_EQ(read, 0u);
  // Writing behind the end fills the gap with zeros.
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{.QuadPart = 12}, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Write("!", 1, nullptr), S_OK);

  STATSTG status{};
  ASSERT_EQ(stream->Stat(&status, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(status.cbSize.QuadPart, 13u);
  EXPECT_EQ(status.type, STGTY_STREAM);
  EXPECT_EQ(status.pwcsName, nullptr);
  ASSERT_EQ(stream->Stat(&status, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(WideString(status.pwcsName), OLESTR("Name"));
  CoTaskMemFree(status.pwcsName);
  EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{.QuadPart = 3}), S_OK);
  stream->Stat(&status, STATFLAG_NONAME);
  EXPECT_EQ(status.cbSize.QuadPart, 3u);
}

TEST_F(StorageTest, ClassEnumerationAndSubStorages) {
  constexpr CLSID kClass = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  ASSERT_EQ(WriteClassStg(storage.Get(), kClass), S_OK);
  CLSID read{};
  ASSERT_EQ(ReadClassStg(storage.Get(), &read), S_OK);
  EXPECT_EQ(read, kClass);
  STATSTG status{};

  WriteStream(OLESTR("B"), "1");
  WriteStream(OLESTR("a"), "2");
  ComPtr<IStorage> child;
  ASSERT_EQ(storage->CreateStorage(OLESTR("Sub"), kCreate, 0, 0, child.Receive()), S_OK);
  ComPtr<IStream> inner;
  ASSERT_EQ(child->CreateStream(OLESTR("Inner"), kCreate, 0, 0, inner.Receive()), S_OK);
  inner.Reset();
  child.Reset();
  EXPECT_EQ(storage->OpenStream(OLESTR("Sub"), nullptr, kRead, 0, inner.Receive()), STG_E_FILENOTFOUND);
  ASSERT_EQ(storage->OpenStorage(OLESTR("sub"), nullptr, kRead, nullptr, 0, child.Receive()), S_OK);
  EXPECT_EQ(child->CreateStream(OLESTR("More"), kCreate, 0, 0, inner.Receive()), STG_E_ACCESSDENIED);
  EXPECT_EQ(child->OpenStream(OLESTR("Inner"), nullptr, kRead, 0, inner.Receive()), S_OK);
  ASSERT_EQ(child->Stat(&status, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(WideString(status.pwcsName), OLESTR("Sub"));  // as created
  CoTaskMemFree(status.pwcsName);

  ComPtr<IEnumSTATSTG> elements;
  ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.Receive()), S_OK);
  std::vector<WideString> names;
  while (elements->Next(1, &status, nullptr) == S_OK) {
    names.emplace_back(status.pwcsName);
    CoTaskMemFree(status.pwcsName);
  }
  EXPECT_EQ(names, (std::vector<WideString>{OLESTR("a"), OLESTR("B"), OLESTR("Sub")}));
}

#if !defined(_WIN32)
// A store on disk: created, committed and opened again; a commit that fails (a disk that fills half
// way, a folder that cannot be written) leaves the committed file as it was and no other file.
TEST_F(StorageTest, AStoreOnDiskIsCommittedWholeOrNotAtAll) {
  TempDir dir;
  const std::string path = dir.File("store.gdr");
  const WideString wide(path.begin(), path.end());
  ASSERT_EQ(StgCreateDocfile(wide.c_str(), kCreate, 0, storage.Receive()), S_OK);
  WriteStream(OLESTR("DataPath"), "abc");
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(StgCreateDocfile(wide.c_str(), kReadWrite, 0, storage.Receive()), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, kRead, nullptr, 0, storage.Receive()), S_OK);
  EXPECT_EQ(ReadStream(OLESTR("DataPath")), "abc");
  EXPECT_EQ(storage->Commit(STGC_DEFAULT), STG_E_ACCESSDENIED);  // opened for reading only

  const std::string committed = Slurp(path);
  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, kReadWrite, nullptr, 0, storage.Receive()), S_OK);
  WriteStream(OLESTR("Big"), std::string(100000, 'x'));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 8192;
  setrlimit(RLIMIT_FSIZE, &small);
  const HRESULT full = storage->Commit(STGC_DEFAULT);
  setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_EQ(full, STG_E_WRITEFAULT);
  EXPECT_TRUE(Slurp(path) == committed);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const bool enforced = ::access(dir.File("probe").c_str(), W_OK) != 0 && geteuid() != 0;
  const HRESULT denied = storage->Commit(STGC_DEFAULT);
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
  if (enforced) {
    EXPECT_EQ(denied, STG_E_ACCESSDENIED);
    EXPECT_TRUE(Slurp(path) == committed);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  const std::string text = dir.Write("text.txt", "no compound file at all");
  EXPECT_EQ(StgOpenStorage(WideString(text.begin(), text.end()).c_str(), nullptr, kRead, nullptr, 0, storage.Receive()),
            STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgOpenStorage(OLESTR("/nonexistent/store"), nullptr, kRead, nullptr, 0, storage.Receive()),
            STG_E_FILENOTFOUND);
}
#endif

}  // namespace
