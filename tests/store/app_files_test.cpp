// Where the program's files go: beside a writable executable, else in the user's XDG
// directories, with what is installed beside the executable read from there. The choice takes
// the writability as an answer, so both cases are tested whoever runs the tests.
#include "store/app_files.h"

#include <gtest/gtest.h>

#include <QDir>

#include "support/temp_dir.h"

namespace {

using store::AppFiles;
using testing_support::TempDir;
using testing_support::WriteAll;

TEST(AppFiles, AWritableProgramDirectoryHoldsEverythingElseTheXdgDirectoriesDo) {
  const AppFiles portable = AppFiles::choose("/opt/tool", true, "/home/u/.config", "/home/u/data");
  EXPECT_EQ(portable.comsetIni(), "/opt/tool/comset.ini");
  EXPECT_EQ(portable.formSizeIni(), "/opt/tool/FromSizeInfo.ini");
  EXPECT_EQ(portable.defaultSendFile(), "/opt/tool/default.sen");
  EXPECT_EQ(portable.defaultLogFile(), "/opt/tool/default.txt");
  EXPECT_EQ(portable.shippedFile("default.sen"), "/opt/tool/default.sen");

  const AppFiles installed =
      AppFiles::choose("/usr/lib/oruvotarvix", false, "/home/u/.config", "/home/u/data");
  EXPECT_EQ(installed.comsetIni(), "/home/u/.config/OruvoTarvix/comset.ini");
  EXPECT_EQ(installed.formSizeIni(), "/home/u/.config/OruvoTarvix/FromSizeInfo.ini");
  EXPECT_EQ(installed.defaultSendFile(), "/home/u/.config/OruvoTarvix/default.sen");
  EXPECT_EQ(installed.defaultLogFile(), "/home/u/data/OruvoTarvix/default.txt");
  EXPECT_EQ(installed.shippedFile("default.sen"), "/usr/lib/oruvotarvix/default.sen");
}

// An installed copy is told by the file its install step leaves, not by permissions: root may
// write into an install tree, and must still not keep its files there.
TEST(AppFiles, AnInstalledCopyKeepsNoFilesBesideItselfWhoeverRunsIt) {
  TempDir program;
  EXPECT_TRUE(AppFiles::keepsFilesBeside(program.path()));
  WriteAll(program.file("installed"), "installed\n");
  EXPECT_FALSE(AppFiles::keepsFilesBeside(program.path()));
  EXPECT_FALSE(AppFiles::keepsFilesBeside(program.file("missing")));
}

TEST(AppFiles, TheHelpFileIsTakenFromTheWorkingDirectoryWhenThereElseFromBesideTheExecutable) {
  TempDir work;
  TempDir program;
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(work.path()));
  const AppFiles files("/nowhere/config", "/nowhere/log", program.path());
  EXPECT_EQ(files.helpFile(), program.file("Tarvixhlp.chm"));
  WriteAll(work.file("Tarvixhlp.chm"), "ITSF");
  EXPECT_EQ(files.helpFile(), "Tarvixhlp.chm");
  QDir::setCurrent(before);
}

}  // namespace
