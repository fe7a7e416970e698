#include <gtest/gtest.h>

#include "header/PathFunctions.h"

namespace {

// The drive is a letter with a colon or a server and share; the directory everything behind it up to
// the last backslash; the title the name without its last extension. Slashes count as backslashes.
TEST(PathFunctions, DriveDirectoryAndTitle) {
  struct Row {
    std::string_view path, drive, directory, title;
  };
  const Row rows[] = {
      {"C:\\rec\\s01.shdr", "C:", "\\rec\\", "s01"},
      {"d:\\s01.eeg", "d:", "\\", "s01"},
      {"\\\\srv\\share\\rec\\x.eeg", "\\\\srv\\share", "\\rec\\", "x"},
      {"//srv/share/x.eeg", "\\\\srv\\share", "\\", "x"},
      {"\\\\srv\\share", "\\\\srv\\share", "", "share"},
      {"\\\\srv", "", "\\\\", "srv"},
      {"\\\\srv\\", "", "\\\\srv\\", ""},
      {"\\\\\\share", "", "\\\\\\", "share"},
      {"/home/rec/a.b.shdr", "", "\\home\\rec\\", "a.b"},
      {"rec/.shdr", "", "rec\\", ""},
      {"1:x", "", "", "1:x"},
      {"C:", "C:", "", ""},
      {"", "", "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(GetDrive(row.path), row.drive) << row.path;
    EXPECT_EQ(GetDirectory(row.path), row.directory) << row.path;
    EXPECT_EQ(GetFileTitle(row.path), row.title) << row.path;
  }
}

TEST(PathFunctions, ReplaceNoCaseReplacesEveryOccurrenceOnce) {
  EXPECT_EQ(ReplaceNoCase("$B/$b_x.eeg", "$b", "s01"), "s01/s01_x.eeg");
  // Replacements are not searched again, so a title that holds the pattern cannot loop.
  EXPECT_EQ(ReplaceNoCase("$b", "$b", "x$b$B"), "x$b$B");
  EXPECT_EQ(ReplaceNoCase("aaa", "AA", "X"), "Xa");
}

}  // namespace
