// The data file changes under an open reader, or is no file at all.
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <random>

#include "readers/AsciiReader.h"
#include "readers/ReaderTestSupport.h"
#include "support/TempDir.h"

namespace {

#if defined(_WIN32)
TEST(FileSystemFaults, AnOpenDataFileKeepsWritersOut) {
  TempDir dir;
  const std::string path = dir.Write("d.bin", std::string(80, '\1'));
  CBinaryReader reader;
  ASSERT_EQ(Layout{.channels = 2}.Open(reader, path, 0), S_OK);
  std::error_code error;
  std::filesystem::resize_file(path, 6, error);
  EXPECT_TRUE(error);
  EXPECT_EQ(std::filesystem::file_size(path), 80u);
}
#else
// Pages that a shrinking file no longer has are never touched (they would fault): both orientations
// read the bytes left and zeros beyond them, also once the file is removed.
TEST(FileSystemFaults, ADataFileThatShrinksOrVanishesReadsAsZerosBeyondItsEnd) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 6144; ++i) bytes += std::string({char(i % 100 + 1), 0});
  for (const bool multiplexed : {true, false}) {
    const std::int32_t channels = multiplexed ? 2 : 1;  // a multiplexed row cut in the middle
    const std::string path = dir.Write("d.bin", bytes);
    CBinaryReader reader;
    ASSERT_EQ((Layout{.multiplexed = multiplexed, .channels = channels}.Open(reader, path, 0)), S_OK);
    std::filesystem::resize_file(path, 4096);
    EXPECT_EQ(ReadBlock(reader, 2046 / channels, 4 / channels, nullptr, 4).values, (std::vector<float>{47, 48, 0, 0}));
    std::filesystem::resize_file(path, 6);  // three numbers are left
    EXPECT_EQ(ReadBlock(reader, 0, 4 / channels, nullptr, 4).values, (std::vector<float>{1, 2, 3, 0}));
    std::filesystem::remove(path);  // the open file stays readable until the reader closes it
    EXPECT_EQ(ReadBlock(reader, 0, 4 / channels, nullptr, 4).values, (std::vector<float>{1, 2, 3, 0}));
  }
}

// ASCII text is read from the file's pages: where the file shrinks, the text left is read as it
// was, nothing beyond it is touched, and the numbers beyond it are gone.
TEST(FileSystemFaults, AnAsciiFileShrunkByPagesKeepsTheTextLeft) {
  TempDir dir;
  std::string text;
  for (int i = 1000; i < 3000; ++i) text += std::to_string(i) + "\n";
  const std::string path = dir.Write("d.txt", text);
  CASCIIReader reader;
  ASSERT_EQ(reader.Open(path, 1, 2000, true, {}, false, 1, '.', 0, 0), S_OK);
  ASSERT_EQ(ReadBlock(reader, 0, 1, nullptr, 1).result, S_OK);
  std::filesystem::resize_file(path, 4096);
  const ReadResult read = ReadBlock(reader, 817, 2, nullptr, 2);
  ASSERT_EQ(read.result, S_OK);
  EXPECT_EQ(read.values, (std::vector<float>{1817, 1818}));
  EXPECT_EQ(ReadBlock(reader, 1990, 2, nullptr, 2).result, GDR_E_FILE);  // the lines run out
}

// A pseudo-file reports 0 bytes and delivers more: nothing past the size at Open is read.
TEST(FileSystemFaults, NoBytePastTheSizeAtOpenIsRead) {
  CBinaryReader reader;
  ASSERT_EQ(Layout{.channels = 1}.Open(reader, "/proc/self/environ", 64), S_OK);
  EXPECT_EQ(ReadBlock(reader, 0, 64, nullptr, 64).values, std::vector<float>(64, 0.0f));
}

TEST(FileSystemFaults, ADataFileRewrittenInPlaceReadsWithItsNewBytes) {
  const Layout layouts[] = {{},
                            {.multiplexed = false},
                            {.format = FORMAT_UINT_16, .multiplexed = false},
                            {.format = FORMAT_IEEE_FLOAT_32, .multiplexed = false},
                            {.multiplexed = false, .headerSize = 4, .segmentPoints = 8},
                            {.format = FORMAT_ATS_INT_12_PACKED}};
  TempDir dir;
  const std::string path = dir.File("d.bin");
  std::mt19937 random(3);
  // Random bytes, the same number each time, with a modification time that shows however coarse the clock is.
  auto rewrite = [&](std::time_t seconds) {
    dir.Write("d.bin", Layout{.points = 700}.Write(random));
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  for (const Layout& layout : layouts) {
    rewrite(1'000'000'000);
    CBinaryReader reader, fresh;
    ASSERT_EQ(layout.Open(reader, path, 0), S_OK);
    const std::vector<float> before = ReadBlock(reader, 0, 64, nullptr, 192).values;
    rewrite(1'000'000'001);
    ASSERT_EQ(layout.Open(fresh, path, 0), S_OK);
    const std::vector<float> expected = ReadBlock(fresh, 0, 64, nullptr, 192).values;
    EXPECT_FALSE(SameBits(before, expected)) << layout.format;
    EXPECT_TRUE(SameBits(ReadBlock(reader, 0, 64, nullptr, 192).values, expected)) << layout.format;
  }
}
#endif

// Neither reader opens the path, and each answers every later read with its refusal.
void ExpectRefused(const std::string& path) {
  CBinaryReader binary;
  EXPECT_EQ(Layout{.channels = 2}.Open(binary, path, 0), MakeResult(0x80041001));
  CASCIIReader ascii;
  EXPECT_EQ(ascii.Open(path, 2, 10, true, {}, false, 1, '.', 0, 0), MakeResult(0x8004100E));
  EXPECT_EQ(ReadBlock(ascii, 0, 1, nullptr, 0).result, MakeResult(0x8004100E));
}

TEST(FileSystemFaults, AFolderOrAFileThatCannotBeOpenedIsRefused) {
  TempDir dir;
  ExpectRefused(dir.Path().string());
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
  ExpectRefused(path);
}

}  // namespace
