// The data file changes under an open reader, or is no file at all.
#include <filesystem>

#include "header/HeaderCodes.h"
#include "readers/AsciiReader.h"
#include "readers/BinaryReader.h"
#include "readers/ReaderTestSupport.h"
#include "support/TempDir.h"

namespace {

#if defined(_WIN32)
TEST(FileSystemFaults, AnOpenDataFileKeepsWritersOut) {
  TempDir dir;
  const std::string path = dir.Write("d.bin", std::string(80, '\1'));
  CBinaryReader reader;
  ASSERT_EQ(reader.Open(path, 2, 0, true, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0), S_OK);
  std::error_code error;
  std::filesystem::resize_file(path, 6, error);
  EXPECT_TRUE(error);
  EXPECT_EQ(std::filesystem::file_size(path), 80u);
}
#else
TEST(FileSystemFaults, ADataFileThatShrinksOrVanishesReadsAsZerosBeyondItsEnd) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += std::string({char(i + 1), 0});
  const std::string path = dir.Write("d.bin", bytes);
  CBinaryReader reader;
  ASSERT_EQ(reader.Open(path, 2, 0, true, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0), S_OK);
  ASSERT_EQ(reader.GetDataPoints(), 20);
  std::filesystem::resize_file(path, 6);  // three numbers are left
  ReadResult read = ReadBlock(reader, 0, 3, nullptr, 6);
  ASSERT_EQ(read.result, S_OK);
  EXPECT_EQ(read.values, (std::vector<float>{1, 2, 3, 0, 0, 0}));
  std::filesystem::remove(path);  // the open file stays readable until the reader closes it
  read = ReadBlock(reader, 0, 2, nullptr, 4);
  EXPECT_EQ(read.result, S_OK);
  EXPECT_EQ(read.values[0], 1.0f);
}
#endif

TEST(FileSystemFaults, AFolderIsNoDataFile) {
  TempDir dir;
  CBinaryReader binary;
  EXPECT_EQ(binary.Open(dir.Path().string(), 2, 0, true, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0),
            MakeResult(0x80041001));
  CASCIIReader ascii;
  EXPECT_EQ(ascii.Open(dir.Path().string(), 2, 10, true, {}, false, 1, '.', 0, 0), MakeResult(0x8004100E));
}

TEST(FileSystemFaults, AFileThatCannotBeOpenedIsRefused) {
  TempDir dir;
  const std::string path = dir.Write("locked.bin", std::string(40, '\1'));
#if defined(_WIN32)
  // Another opener that shares nothing.
  const HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  struct Closer {
    HANDLE handle;
    ~Closer() { CloseHandle(handle); }
  } closer{holder};
#else
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  std::filesystem::permissions(path, std::filesystem::perms::none);
#endif
  CBinaryReader binary;
  EXPECT_EQ(binary.Open(path, 2, 0, true, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0), MakeResult(0x80041001));
  CASCIIReader ascii;
  EXPECT_EQ(ascii.Open(path, 2, 10, true, {}, false, 1, '.', 0, 0), MakeResult(0x8004100E));
}

}  // namespace
