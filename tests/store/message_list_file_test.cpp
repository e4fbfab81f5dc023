#include "store/message_list_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <csignal>
#include <map>

#include "store/file_io_error.h"
#include "store/ini_file.h"
#include "support/memory_grid.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

using testing_support::MemoryGrid;

class MessageListFile : public ::testing::Test {
 protected:
  TempDir dir;
  store::AppFiles files{dir.path()};

  void load(MemoryGrid& grid, const QString& name) {
    store::LoadGridsFromFile({&grid}, name, QStringLiteral("default.sen"), files);
  }
  MemoryGrid loadBytes(const QByteArray& content) {
    WriteAll(dir.file("list.sen"), content);
    MemoryGrid grid;
    load(grid, dir.file("list.sen"));
    return grid;
  }
};

TEST_F(MessageListFile, SavesTheTwoMessageExampleByteForByte) {
  MemoryGrid grid(3, 3);
  grid.setRow(1, {"1", "A", "01 02"});
  grid.setRow(2, {"2", "B C", "7F"});
  store::SaveGridsToFile({&grid}, dir.file("list.sen"));
  EXPECT_EQ(ReadAll(dir.file("list.sen")), QByteArray("3\r\n1,A,\"01 02\"\r\n2,\"B C\",7F\r\n"));

  MemoryGrid empty(3, 5);
  empty.setRow(4, {"4", "", ""});
  store::SaveGridsToFile({&empty}, dir.file("empty.sen"));
  EXPECT_TRUE(ReadAll(dir.file("empty.sen")).endsWith("\r\n4,,\r\n"));

  MemoryGrid titleOnly(3, 1);
  store::SaveGridsToFile({&titleOnly}, dir.file("one.sen"));
  EXPECT_EQ(ReadAll(dir.file("one.sen")), QByteArray("1\r\n"));
}

TEST_F(MessageListFile, DifficultCellsSurviveASaveAndALoadUnchanged) {
  MemoryGrid saved(3, 5);
  saved.setRow(1, {"1", "a,b", "say \"hi\""});
  saved.setRow(2, {"2", "tab\tname", "  leading and trailing  "});
  saved.setRow(3, {"3", QStringLiteral("复位 命令，全角"), QStringLiteral("中文内容")});
  saved.setRow(4, {"4", "no content", ""});
  store::SaveGridsToFile({&saved}, dir.file("list.sen"));

  MemoryGrid loaded;
  load(loaded, dir.file("list.sen"));
  ASSERT_EQ(loaded.RowCount(), 5);
  for (int r = 1; r < 5; ++r) EXPECT_EQ(loaded.row(r), saved.row(r)) << r;
  EXPECT_TRUE(ReadAll(dir.file("list.sen")).contains(QStringLiteral("中文内容").toUtf8()));
}

TEST_F(MessageListFile, AHandWrittenUnquotedHexRowLosesItsFourthField) {
  const MemoryGrid grid = loadBytes("2\r\n1,A,01 02\r\n");
  EXPECT_EQ(grid.row(1), (QStringList{"1", "A", "01"}));
}

TEST_F(MessageListFile, ReadsTheCountLineAsAnIntegerOrElseTwo) {
  EXPECT_EQ(loadBytes("3 \r\n").RowCount(), 2);
  EXPECT_EQ(loadBytes(" 3\r\n").RowCount(), 3);
  EXPECT_EQ(loadBytes("$A\r\n").RowCount(), 10);
  EXPECT_EQ(loadBytes("0x4\n").RowCount(), 4);
  EXPECT_EQ(loadBytes("").RowCount(), 2);
  EXPECT_EQ(loadBytes("abc\r\n").RowCount(), 2);
  EXPECT_EQ(loadBytes("0\r\n").RowCount(), 1);
  EXPECT_EQ(loadBytes("-7\r\n").RowCount(), 1);
}

TEST_F(MessageListFile, AFileShorterThanItsCountLeavesTheMissingRowsUntouched) {
  MemoryGrid grid(3, 5);
  grid.setRow(3, {"x", "kept", "kept"});
  WriteAll(dir.file("list.sen"), "5\r\n1,A,01\r\n2,B,02");
  load(grid, dir.file("list.sen"));
  EXPECT_EQ(grid.RowCount(), 5);
  EXPECT_EQ(grid.row(2), (QStringList{"2", "B", "02"}));
  EXPECT_EQ(grid.row(3), (QStringList{"x", "kept", "kept"}));
  EXPECT_EQ(grid.row(4), (QStringList{"", "", ""}));
}

TEST_F(MessageListFile, AHugeCountIsCappedInsteadOfExhaustingMemory) {
  const MemoryGrid grid = loadBytes("2147483647\r\n1,A,01\r\n");
  EXPECT_EQ(grid.RowCount(), 2 + store::kMaxRowsBeyondFile);
  EXPECT_EQ(grid.row(1), (QStringList{"1", "A", "01"}));
}

TEST_F(MessageListFile, AMissingFileFallsBackToTheDefaultListBesideTheProgram) {
  WriteAll(files.defaultSendFile(), "2\r\n1,Default,AA\r\n");
  MemoryGrid grid;
  load(grid, dir.file("gone.sen"));
  EXPECT_EQ(grid.row(1), (QStringList{"1", "Default", "AA"}));
}

TEST_F(MessageListFile, AMissingDefaultListIsCreatedEmpty) {
  MemoryGrid grid;
  grid.setRow(1, {"1", "old", "11"});
  load(grid, dir.file("gone.sen"));
  EXPECT_TRUE(QFile::exists(files.defaultSendFile()));
  EXPECT_EQ(ReadAll(files.defaultSendFile()), QByteArray());
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.row(1), (QStringList{"1", "old", "11"}));
}

// Windows editors save UTF-8 with a mark (EF BB BF) and "Unicode" as UTF-16 with one.
TEST_F(MessageListFile, AListWithAByteOrderMarkKeepsEveryRowAndSavesThemAll) {
  const QString text = QStringLiteral("4\r\n1,温度,\"01 03 00\"\r\n2,读取数据,7F\r\n3,C,\r\n");
  const QStringList rows[] = {{"1", QStringLiteral("温度"), "01 03 00"},
                              {"2", QStringLiteral("读取数据"), "7F"},
                              {"3", "C", ""}};
  QByteArray utf16Le("\xFF\xFE");
  QByteArray utf16Be("\xFE\xFF");
  for (const QChar c : text) {
    const char low = static_cast<char>(c.unicode() & 0xFF);
    const char high = static_cast<char>(c.unicode() >> 8);
    utf16Le.append(low).append(high);
    utf16Be.append(high).append(low);
  }
  const QByteArray marked[] = {"\xEF\xBB\xBF" + text.toUtf8(), utf16Le, utf16Be};
  for (const QByteArray& content : marked) {
    MemoryGrid grid = loadBytes(content);
    ASSERT_EQ(grid.RowCount(), 4) << content.left(3).toHex().constData();
    for (int r = 1; r < 4; ++r) EXPECT_EQ(grid.row(r), rows[r - 1]) << r;

    // Saved as this program writes every list: UTF-8 without a mark, every row kept.
    store::SaveGridsToFile({&grid}, dir.file("list.sen"));
    EXPECT_EQ(ReadAll(dir.file("list.sen")), text.toUtf8());
  }
}

// GBK names such as 停止 (CD A3 D6 B9) are valid UTF-8 too, read that way as combining marks,
// Hebrew points and modifier letters.
TEST_F(MessageListFile, ReadsAnUnmarkedListAsUtf8OrGbkByWhichGivesPlausibleText) {
  QStringEncoder gbk("GBK");
  ASSERT_TRUE(gbk.isValid());
  const QString gbkNames[] = {QStringLiteral("复位命令"), QStringLiteral("停止"),
                              QStringLiteral("状态"),     QStringLiteral("模式"),
                              QStringLiteral("锟斤拷"),   QStringLiteral("停止 状态 模式")};
  for (const QString& name : gbkNames) {
    const QByteArray content = gbk(QStringLiteral("2\r\n1,\"%1\",\"AA 55\"\r\n").arg(name));
    EXPECT_EQ(loadBytes(content).row(1), (QStringList{"1", name, "AA 55"})) << name.toStdString();
  }
  const QString utf8Names[] = {QStringLiteral("温度"),     QStringLiteral("读取数据"),
                               QStringLiteral("模式"),     QStringLiteral("ch1 温度 read"),
                               QStringLiteral("°C ±5% ā"), QStringLiteral("é")};
  for (const QString& name : utf8Names) {
    const QByteArray content = QStringLiteral("2\r\n1,\"%1\",\"AA 55\"\r\n").arg(name).toUtf8();
    EXPECT_EQ(loadBytes(content).row(1), (QStringList{"1", name, "AA 55"})) << name.toStdString();
  }

  // Hebrew in UTF-8 is valid GBK too, and reads as plausible ideographs there: such a list is
  // saved with the UTF-8 mark and reads back as it was.
  MemoryGrid hebrew(3, 2);
  hebrew.setRow(1, {"1", QStringLiteral("שלום"), "01"});
  store::SaveGridsToFile({&hebrew}, dir.file("hebrew.sen"));
  EXPECT_TRUE(ReadAll(dir.file("hebrew.sen")).startsWith(QByteArray("\xEF\xBB\xBF") + "2\r\n"));
  MemoryGrid loaded;
  load(loaded, dir.file("hebrew.sen"));
  EXPECT_EQ(loaded.row(1), hebrew.row(1));
}

// A file size limit makes the write fail part-way, for any user (root ignores permissions).
TEST_F(MessageListFile, AFailedSaveKeepsThePreviousFileAndReportsTheError) {
  const QByteArray old = "2\r\n1,Old,01\r\n";
  WriteAll(dir.file("list.sen"), old);
  MemoryGrid grid(3, 200);
  for (int r = 1; r < 200; ++r) grid.setRow(r, {QString::number(r), "name", QString(40, u'A')});

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(store::SaveGridsToFile({&grid}, dir.file("list.sen")), store::FileIoError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(ReadAll(dir.file("list.sen")), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"list.sen"});
}

TEST_F(MessageListFile, NamesInputOutputFailuresTheWayUsersKnowThem) {
  EXPECT_EQ(store::FileIoMessage(ENOENT), QStringLiteral("File not found"));
  EXPECT_EQ(store::FileIoMessage(ENAMETOOLONG), QStringLiteral("Invalid filename"));
  EXPECT_EQ(store::FileIoMessage(EMFILE), QStringLiteral("Too many open files"));
  EXPECT_EQ(store::FileIoMessage(EACCES), QStringLiteral("File access denied"));
  EXPECT_EQ(store::FileIoMessage(ENOSPC), QStringLiteral("Disk full"));
  EXPECT_EQ(store::FileIoMessage(EIO), QStringLiteral("I/O error %1").arg(EIO));

  MemoryGrid grid;
  EXPECT_THROW(store::SaveGridsToFile({&grid}, dir.file("no/such/dir/list.sen")),
               store::FileIoError);
}

TEST_F(MessageListFile, NumbersFitsAndClearsColumns) {
  MemoryGrid grid(3, 4);
  grid.titles = {"", QStringLiteral("报文名称"), QStringLiteral("报文内容")};
  grid.setRow(0, {"title", "t1", "t2"});
  grid.setRow(1, {"9", "a", "0102"});
  grid.setRow(2, {"9", "longest name", "x"});
  store::NumberGridRows(grid);
  EXPECT_EQ(grid.Cells(0, 0), QString());
  EXPECT_EQ(grid.Cells(0, 1), "1");
  EXPECT_EQ(grid.Cells(0, 3), "3");

  store::FitGridColumns(grid, {1});
  EXPECT_EQ(grid.widths[1], 7 * 12 + 20);
  grid.setRowCount(1);
  store::FitGridColumns(grid, {1});
  EXPECT_EQ(grid.widths[1], 7 * 4 + 20);

  grid.setRowCount(3);
  grid.setRow(1, {"1", "a", "b"});
  store::ClearGridColumns(grid, {1, 2});
  EXPECT_EQ(grid.row(0), (QStringList{"", "", ""}));
  EXPECT_EQ(grid.row(1), (QStringList{"1", "", ""}));
  EXPECT_EQ(grid.titles[1], QStringLiteral("报文名称"));
}

TEST_F(MessageListFile, CurrentSendFileNameRewritesANameThatNoLongerExists) {
  const store::IniFile ini(files.comsetIni());
  WriteAll(dir.file("mine.sen"), "2\r\n");
  store::StoreSendFileName(files, dir.file("mine.sen"));
  EXPECT_EQ(store::CurrentSendFileName(files), dir.file("mine.sen"));

  QFile::remove(dir.file("mine.sen"));
  EXPECT_EQ(store::CurrentSendFileName(files), files.defaultSendFile());
  EXPECT_EQ(ini.readString("DefineSend", "SendFileName", QString()), files.defaultSendFile());
}

}  // namespace
