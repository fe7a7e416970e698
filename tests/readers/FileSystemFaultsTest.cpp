// The data file changes under an open reader, or is no file at all.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

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

// Pages that a shrinking file no longer has are never touched (they would fault): both orientations
// read the bytes left and zeros beyond them.
TEST(FileSystemFaults, ADataFileShrunkByPagesReadsAsZerosBeyondItsEnd) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 6144; ++i) bytes += std::string({char(i % 100 + 1), 0});
  for (const bool multiplexed : {true, false}) {
    const std::string path = dir.Write("d.bin", bytes);
    CBinaryReader reader;
    ASSERT_EQ(reader.Open(path, 1, 0, multiplexed, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0), S_OK);
    std::filesystem::resize_file(path, 4096);
    const ReadResult read = ReadBlock(reader, 2046, 4, nullptr, 4);
    ASSERT_EQ(read.result, S_OK);
    EXPECT_EQ(read.values, (std::vector<float>{47, 48, 0, 0})) << multiplexed;
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
  ASSERT_EQ(reader.Open("/proc/self/environ", 1, 64, true, {}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0), S_OK);
  EXPECT_EQ(ReadBlock(reader, 0, 64, nullptr, 64).values, std::vector<float>(64, 0.0f));
}

// Sets a file's modification time, so that a rewrite shows however coarse the clock is.
void SetModified(const std::string& path, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(FileSystemFaults, ADataFileRewrittenInPlaceReadsWithItsNewBytes) {
  struct Layout {
    const char* name;
    std::int32_t format;
    bool multiplexed;
    std::int32_t segmentHeader, segmentPoints;
  };
  const Layout layouts[] = {
      {"mux int16", FORMAT_INT_16, true, 0, 0},      {"vec int16", FORMAT_INT_16, false, 0, 0},
      {"vec uint16", FORMAT_UINT_16, false, 0, 0},   {"vec float32", FORMAT_IEEE_FLOAT_32, false, 0, 0},
      {"vec segmented", FORMAT_INT_16, false, 4, 8}, {"mux packed 12-bit", FORMAT_ATS_INT_12_PACKED, true, 0, 0}};
  TempDir dir;
  std::mt19937 random(3);
  auto randomBytes = [&] {
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
  };
  constexpr LONG kPoints = 64, kChannels = 4;
  for (const Layout& layout : layouts) {
    const std::string path = dir.Write("d.bin", randomBytes());
    SetModified(path, 1'000'000'000);
    auto open = [&](CBinaryReader& reader) {
      return reader.Open(path, kChannels, 0, layout.multiplexed, {}, false, 1, layout.format, 0, 0, false,
                         layout.segmentHeader, layout.segmentPoints);
    };
    CBinaryReader reader;
    ASSERT_EQ(open(reader), S_OK) << layout.name;
    const ReadResult before = ReadBlock(reader, 0, kPoints, nullptr, kPoints * kChannels);
    dir.Write("d.bin", randomBytes());  // the same file, the same size
    SetModified(path, 1'000'000'001);
    const ReadResult after = ReadBlock(reader, 0, kPoints, nullptr, kPoints * kChannels);
    CBinaryReader fresh;
    ASSERT_EQ(open(fresh), S_OK);
    const ReadResult expected = ReadBlock(fresh, 0, kPoints, nullptr, kPoints * kChannels);
    auto same = [](const ReadResult& a, const ReadResult& b) {
      return std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(float)) == 0;
    };
    EXPECT_FALSE(same(before, expected)) << layout.name;
    EXPECT_TRUE(same(after, expected)) << layout.name;
  }
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
