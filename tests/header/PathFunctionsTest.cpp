#include <gtest/gtest.h>

#include "header/PathFunctions.h"

namespace {

TEST(PathFunctions, DriveIsALetterWithColonOrAServerAndShare) {
  EXPECT_EQ(GetDrive("C:\\rec\\s01.shdr"), "C:");
  EXPECT_EQ(GetDrive("d:s01.eeg"), "d:");
  EXPECT_EQ(GetDrive("\\\\srv\\share\\rec\\x.eeg"), "\\\\srv\\share");
  EXPECT_EQ(GetDrive("//srv/share/rec/x.eeg"), "\\\\srv\\share");
  EXPECT_EQ(GetDrive("\\\\srv\\share"), "\\\\srv\\share");
  EXPECT_EQ(GetDrive("\\\\srv"), "");
  EXPECT_EQ(GetDrive("\\\\srv\\"), "");
  EXPECT_EQ(GetDrive("\\\\\\share"), "");
  EXPECT_EQ(GetDrive("/home/rec/s01.shdr"), "");
  EXPECT_EQ(GetDrive("1:x"), "");
  EXPECT_EQ(GetDrive(""), "");
}

TEST(PathFunctions, DirectoryIsEverythingBehindTheDriveUpToTheLastBackslash) {
  EXPECT_EQ(GetDirectory("C:\\rec\\s01.shdr"), "\\rec\\");
  EXPECT_EQ(GetDirectory("/home/rec/s01.shdr"), "\\home\\rec\\");
  EXPECT_EQ(GetDirectory("rec/s01.shdr"), "rec\\");
  EXPECT_EQ(GetDirectory("\\\\srv\\share\\x.eeg"), "\\");
  EXPECT_EQ(GetDirectory("\\\\srv\\share"), "");
  EXPECT_EQ(GetDirectory("C:s01.eeg"), "");
  EXPECT_EQ(GetDirectory("s01.eeg"), "");
}

TEST(PathFunctions, FileTitleIsTheNameWithoutItsLastExtension) {
  EXPECT_EQ(GetFileTitle("C:\\rec\\s01.shdr"), "s01");
  EXPECT_EQ(GetFileTitle("/home/rec/a.b.shdr"), "a.b");
  EXPECT_EQ(GetFileTitle("noext"), "noext");
  EXPECT_EQ(GetFileTitle("rec/.shdr"), "");
  EXPECT_EQ(GetFileTitle("rec\\"), "");
  EXPECT_EQ(GetFileTitle("C:"), "");
  EXPECT_EQ(GetFileTitle(""), "");
}

TEST(PathFunctions, ReplaceNoCaseReplacesEveryOccurrenceOnce) {
  EXPECT_EQ(ReplaceNoCase("$b.eeg", "$b", "s01"), "s01.eeg");
  EXPECT_EQ(ReplaceNoCase("$B/$b_x.eeg", "$b", "s01"), "s01/s01_x.eeg");
  // Replacements are not searched again, so a title that holds the pattern cannot loop.
  EXPECT_EQ(ReplaceNoCase("$b", "$b", "x$b$B"), "x$b$B");
  EXPECT_EQ(ReplaceNoCase("aaa", "AA", "X"), "Xa");
  EXPECT_EQ(ReplaceNoCase("none", "$b", "s01"), "none");
}

}  // namespace
