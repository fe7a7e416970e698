#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>

#include "platform/DataFile.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace {

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Paths with backslashes name the same files as with slashes; failures carry the cause and the path as given.
TEST(Files, ExistenceLengthReadingAndFailures) {
  TempDir dir;
  const std::string file = WithBackslashes(dir.Write("rec/s01.eeg", "abcdef"));
  EXPECT_TRUE(PathExists(file));
  EXPECT_TRUE(PathExists(dir.File("rec")));
  EXPECT_FALSE(PathExists(dir.File("rec/none.eeg")));
  EXPECT_EQ(FileLength(file), 6);
  EXPECT_EQ(FileLength(dir.File("rec")), 0);  // a folder has no length, as on Windows
  EXPECT_EQ(FileLength(dir.File("none")), std::nullopt);
  CFile opened(file, CFile::Share::denyWrite);
  EXPECT_EQ(opened.GetLength(), 6);
  char buffer[8] = {};
  EXPECT_EQ(opened.Read(buffer, 4), 4u);
  EXPECT_EQ(opened.Read(buffer + 4, 4), 2u);  // up to the end
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
  // A data file tells its size and reads at a position up to its end.
  const HANDLE data =
      CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(GetFileVersion(data).size, 6u);
  EXPECT_EQ(ReadFileAt(data, 2, buffer, 8), 4u);
  CloseHandle(data);
  const std::string missing = WithBackslashes(dir.File("none.shdr"));
  try {
    CFile file(missing, CFile::Share::denyWrite);
    ADD_FAILURE() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::cannotOpen);
    EXPECT_EQ(e.m_strFileName, missing);
    EXPECT_NE(e.Describe().find("cannot open"), std::string::npos);
  }
#if !defined(_WIN32)
  // Only regular files are opened: a FIFO would wait for a writer forever, and other special files
  // are no recordings either.
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  const std::pair<std::string, int> cases[] = {
      {dir.File("fifo"), EINVAL}, {"/dev/null", EINVAL}, {dir.Path().string(), EISDIR}};
  for (const auto& [path, error] : cases) {
    errno = 0;
    EXPECT_EQ(OpenFileForReading(path), -1) << path;
    EXPECT_EQ(errno, error) << path;
    EXPECT_THROW(CFile(path, CFile::Share::denyNone), CFileException) << path;
  }
  const int descriptor = OpenFileForReading(dir.Write("t.txt", "abc"));
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(::fcntl(descriptor, F_GETFL) & O_NONBLOCK, 0);
  ::close(descriptor);
#endif
}

}  // namespace
