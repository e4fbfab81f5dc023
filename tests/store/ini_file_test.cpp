#include "store/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "store/form_size_store.h"
#include "store/integer_text.h"
#include "support/temp_dir.h"

using store::IniFile;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

TEST(IniFile, MissingFileSectionOrKeyYieldsTheDefault) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  EXPECT_EQ(ini.readString("ComSet", "port", "COM1"), "COM1");
  EXPECT_EQ(ini.readInteger("ComSet", "BaudRate", 9600), 9600);
  EXPECT_FALSE(QFile::exists(ini.path()));
  WriteAll(ini.path(), "[Other]\r\nport=COM9\r\n");
  EXPECT_EQ(ini.readString("ComSet", "port", "COM1"), "COM1");
}

TEST(IniFile, FirstWriteCreatesTheFileWithCrLfLines) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  ini.writeInteger("ComSet", "Style", 1);
  ini.writeString("ComSet", "IP", "127.0.0.1");
  ini.writeBool("DefineSend", "isCircle", true);
  EXPECT_EQ(ReadAll(ini.path()),
            "[ComSet]\r\nStyle=1\r\nIP=127.0.0.1\r\n[DefineSend]\r\nisCircle=1\r\n");
}

TEST(IniFile, SectionsAndKeysMatchWhateverTheirCase) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(), "[comset]\r\n  SPort = 2000 \r\nIp=10.0.0.1\r\n");
  EXPECT_EQ(ini.readString("ComSet", "Sport", "1024"), "2000");
  EXPECT_EQ(ini.readInteger("COMSET", "sport", 1000), 2000);
  EXPECT_EQ(ini.readString("ComSet", "IP", ""), "10.0.0.1");
}

TEST(IniFile, WriteReplacesInPlaceUnderTheExistingSpellingAndTouchesNothingElse) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(), "; kept\n[ComSet]\nSport=2000\nIP=1.2.3.4\n\n[zh]\nPageIndex=1\n");
  ini.writeInteger("comset", "SPORT", 3000);
  EXPECT_EQ(ReadAll(ini.path()), "; kept\n[ComSet]\nSport=3000\nIP=1.2.3.4\n\n[zh]\nPageIndex=1\n");
}

TEST(IniFile, NewKeyGoesAtTheEndOfItsSectionAndNewSectionAtTheEndOfTheFile) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(), "[ComSet]\r\nStyle=0\r\n\r\n[zh]\r\nPageIndex=1");
  ini.writeInteger("ComSet", "BaudRate", 115200);
  ini.writeInteger("zh", "PageHight", 200);
  ini.writeString("dbw", "content", "01 02");
  EXPECT_EQ(ReadAll(ini.path()),
            "[ComSet]\r\nStyle=0\r\nBaudRate=115200\r\n\r\n[zh]\r\nPageIndex=1\r\nPageHight=200\r\n"
            "[dbw]\r\ncontent=01 02\r\n");
}

TEST(IniFile, IntegersAcceptHexAndUnreadableValuesFallBack) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(),
           "[ComSet]\r\nA=0x2580\r\nB=$2580\r\nC=word\r\nD=-12\r\nE=2\r\nF=yes\r\nG=99999999999\r\n"
           "H=0X1f\r\n");
  EXPECT_EQ(ini.readInteger("ComSet", "A", 0), 9600);
  EXPECT_EQ(ini.readInteger("ComSet", "B", 0), 9600);
  EXPECT_EQ(ini.readInteger("ComSet", "C", 9600), 9600);
  EXPECT_EQ(ini.readString("ComSet", "C", ""), "word");
  EXPECT_EQ(ini.readInteger("ComSet", "D", 0), -12);
  EXPECT_TRUE(ini.readBool("ComSet", "E", false));
  EXPECT_FALSE(ini.readBool("ComSet", "F", false));
  EXPECT_TRUE(ini.readBool("ComSet", "F", true));
  EXPECT_EQ(ini.readInteger("ComSet", "G", 7), 7);
  EXPECT_EQ(ini.readInteger("ComSet", "H", 0), 31);
}

TEST(IniFile, LongAndMultiLineValuesSurviveAStoreAndARead) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  const QString text = QString("line one\nline \\n two\r\n") + QString(5000, 'x');
  ini.writeString("dbw", "content", store::EscapeOneLine(text));
  ini.writeInteger("dbw", "after", 1);
  EXPECT_EQ(store::UnescapeOneLine(ini.readString("dbw", "content", "")), text);
  EXPECT_EQ(ini.readInteger("dbw", "after", 0), 1);

  // Blanks at either end, a full-width space and a tab included, and escapes that are not ours.
  for (const QString& edged : {QString("  01 02\n03 04\t "), QString("\u3000x\u3000"), QString(" "),
                               QString("\\u0041 \\q \\u00"), QString("\t")}) {
    ini.writeString("dbw", "content", store::EscapeOneLine(edged));
    EXPECT_EQ(store::UnescapeOneLine(ini.readString("dbw", "content", "")), edged)
        << edged.toStdString();
  }
  // A backslash a file holds before something other than an escape is kept as it stands.
  EXPECT_EQ(store::UnescapeOneLine("a\\qb\\u12"), QString("a\\qb\\u12"));
}

TEST(IniFile, RefusedWriteRaisesUnableToWriteAndKeepsTheFile) {
  if (geteuid() == 0) {
    // root ignores directory permissions: use a path below a regular file instead
    TempDir dir;
    WriteAll(dir.file("plain"), "x");
    const IniFile ini(dir.file("plain") + "/comset.ini");
    try {
      ini.writeInteger("ComSet", "Style", 1);
      FAIL() << "no error raised";
    } catch (const store::IniWriteError& e) {
      EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + ini.path());
    }
    return;
  }
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  ini.writeInteger("ComSet", "Style", 1);
  ASSERT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0500), 0);
  EXPECT_THROW(ini.writeInteger("ComSet", "Style", 2), store::IniWriteError);
  chmod(dir.path().toLocal8Bit().constData(), 0700);
  EXPECT_EQ(ini.readInteger("ComSet", "Style", 0), 1);
}

TEST(ParseInteger, ReadsTheUsualNotations) {
  EXPECT_EQ(store::ParseInteger(" 3"), 3);
  EXPECT_EQ(store::ParseInteger("3 "), std::nullopt);
  EXPECT_EQ(store::ParseInteger("$A"), 10);
  EXPECT_EQ(store::ParseInteger("x1F"), 31);
  EXPECT_EQ(store::ParseInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(store::ParseInteger("2147483648"), std::nullopt);
  EXPECT_EQ(store::ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(store::ParseInteger(""), std::nullopt);
  EXPECT_EQ(store::ParseInteger("+"), std::nullopt);
}

TEST(FormSizeStore, StoresAndRestoresSizesPerWindow) {
  TempDir dir;
  const store::AppFiles files{dir.path()};
  EXPECT_EQ(store::ReadFormSize(files, "frmZh", QSize(655, 480)), QSize(655, 480));
  store::WriteFormSize(files, "frmZh", QSize(700, 500));
  EXPECT_EQ(store::ReadFormSize(files, "frmZh", QSize(655, 480)), QSize(700, 500));
  WriteAll(files.formSizeIni(), "[frmDefineSend]\r\nwidth=wide\r\nheight=300\r\n");
  EXPECT_EQ(store::ReadFormSize(files, "frmDefineSend", QSize(596, 413)), QSize(596, 300));
}
