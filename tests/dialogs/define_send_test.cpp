#include "dialogs/define_send.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "store/ini_file.h"
#include "support/fake_prompts.h"
#include "support/temp_dir.h"
#include "widgets/message_grid.h"

namespace {

using testing_support::ReadAll;
using testing_support::WriteAll;

const QByteArray kThreeMessages = "4\r\n1,A,01\r\n2,B,02\r\n3,C,03\r\n";

class DefineSend : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  store::AppFiles files{dir.path()};
  testing_support::FakePrompts prompts;
  std::unique_ptr<dialogs::TfrmDefineSend> form;

  void openWith(const QByteArray& list) {
    WriteAll(dir.file("list.sen"), list);
    store::IniFile(files.comsetIni())
        .writeString("DefineSend", "SendFileName", dir.file("list.sen"));
    open();
  }
  void open() {
    form = std::make_unique<dialogs::TfrmDefineSend>(nullptr, prompts, files);
    form->show();
  }
  widgets::TPowerStringGrid& grid() {
    return *form->findChild<widgets::TPowerStringGrid*>("GrdSend");
  }
  void click(const char* button) { form->findChild<QToolButton*>(button)->click(); }
  QString status() { return form->findChild<QLabel*>("StatusPanel0")->text(); }
  QStringList boxTexts() const {
    QStringList texts;
    for (const auto& box : prompts.boxes) texts.append(box.text);
    return texts;
  }
  QString storedName() const {
    return store::IniFile(files.comsetIni()).readString("DefineSend", "SendFileName", QString());
  }
  // Types into the cell's editor, leaving the edit open.
  void type(int col, int row, const QString& keys) {
    grid().setRow(row);
    grid().setCol(col);
    // The editors of the cells passed on the way are gone once their deletion has run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    grid().edit(grid().model()->index(row - 1, col));
    auto* editor = grid().viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->end(false);
    QTest::keyClicks(editor, keys);
  }
};

TEST_F(DefineSend, WithoutAnyListItCreatesAnEmptyDefaultAndClosesSayingNothingToSave) {
  open();
  EXPECT_TRUE(QFile::exists(files.defaultSendFile()));
  EXPECT_EQ(grid().RowCount(), 2);
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + files.defaultSendFile());
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("没有报文,不可保存!")});
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("系统提示!"));
  EXPECT_EQ(storedName(), files.defaultSendFile());
  EXPECT_EQ(ReadAll(files.defaultSendFile()), QByteArray());
}

TEST_F(DefineSend, NewThenSaveAsksForANameAndAppendsTheExtension) {
  openWith(kThreeMessages);
  click("BtnNew");
  EXPECT_EQ(status(), QStringLiteral("新建发送文件"));
  EXPECT_EQ(grid().RowCount(), 2);
  EXPECT_EQ(grid().Cells(1, 1), QString());
  grid().setRowCount(3);
  grid().setRowTexts(1, {"1", "Reset", "AA 55"});
  grid().setRowTexts(2, {"2", "Read", "01"});
  prompts.fileAnswers.push_back(dir.file("fresh"));
  click("BtnSave");
  EXPECT_EQ(ReadAll(dir.file("fresh.sen")), QByteArray("3\r\n1,Reset,\"AA 55\"\r\n2,Read,01\r\n"));
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("保存成功!")});
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + dir.file("fresh.sen"));
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);

  click("BtnSave");
  EXPECT_EQ(prompts.fileRequests.size(), 1);
  form->close();
  EXPECT_EQ(storedName(), dir.file("fresh.sen"));
}

TEST_F(DefineSend, SaveAsAddsALowerCaseExtensionToACapitalOneAndKeepsTheNewFileState) {
  openWith(kThreeMessages);
  click("BtnNew");
  grid().setRowTexts(1, {"1", "One", "01"});
  prompts.fileAnswers.push_back(dir.file("other.SEN"));
  click("BtnSavaAs");
  EXPECT_TRUE(QFile::exists(dir.file("other.SEN.sen")));
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("另存成功!")});
  prompts.fileAnswers.push_back(std::nullopt);
  click("BtnSave");
  EXPECT_EQ(prompts.fileRequests.size(), 2);
}

TEST_F(DefineSend, EditingACellAndRestoringItLeavesTheListClean) {
  openWith(kThreeMessages);
  type(1, 2, "X");
  QTest::keyClick(grid().viewport()->findChild<QLineEdit*>(), Qt::Key_Backspace);
  click("BtnBack");
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(DefineSend, EditingTheFirstCellAfterALoadAndRestoringItLeavesTheListClean) {
  openWith(kThreeMessages);
  ASSERT_EQ(std::pair(grid().Col(), grid().Row()), std::pair(1, 1));
  type(1, 1, "X");
  QTest::keyClick(grid().viewport()->findChild<QLineEdit*>(), Qt::Key_Backspace);
  click("BtnBack");
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(DefineSend, AnEditAfterOpeningIsComparedWithTheOpenedListNotTheOldOne) {
  openWith(kThreeMessages);
  grid().setRow(2);  // the cursor rests on "B"
  WriteAll(dir.file("other.sen"), "4\r\n1,A,01\r\n2,,02\r\n3,C,03\r\n");
  prompts.fileAnswers.push_back(dir.file("other.sen"));
  click("BtnOpen");
  ASSERT_EQ(grid().Cells(1, 2), QString());
  type(1, 2, "B");
  prompts.buttonAnswers.push_back(QMessageBox::Yes);
  form->close();
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("修改的报文没有保存，是否要保存？")});
  EXPECT_EQ(ReadAll(dir.file("other.sen")), kThreeMessages);
}

TEST_F(DefineSend, ToolbarCommandsTakeTheTextStillBeingTypedInACell) {
  openWith(kThreeMessages);
  type(2, 2, "FF");
  click("BtnSave");
  EXPECT_EQ(ReadAll(dir.file("list.sen")), QByteArray("4\r\n1,A,01\r\n2,B,02FF\r\n3,C,03\r\n"));
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("保存成功!")});

  grid().setRow(3);
  click("BtnAdd");
  type(2, 4, "AA");
  click("BtnRefresh");
  ASSERT_EQ(grid().RowCount(), 5);
  EXPECT_EQ(grid().Cells(2, 4), "AA");
}

// A list a Windows editor saved as UTF-8 with its mark; the user clicks the current cell and
// types at once, as fast as the keys come.
TEST_F(DefineSend, AMarkedListShowsEveryRowTakesEveryKeyAfterAClickAndSavesEveryRow) {
  openWith("\xEF\xBB\xBF" + kThreeMessages);
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  ASSERT_EQ(grid().RowCount(), 4);
  EXPECT_EQ(grid().Cells(1, 3), "C");

  grid().setRow(1);
  grid().setCol(2);
  const QRect current = grid().visualRect(grid().model()->index(0, 2));
  QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, current.center());
  for (const char key : QByteArray("01 03 00")) QTest::keyClick(QApplication::focusWidget(), key);
  EXPECT_EQ(grid().Cells(2, 1), "01 03 00");

  QTest::mouseClick(form->findChild<QToolButton*>("BtnSave"), Qt::LeftButton);
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("保存成功!")});
  EXPECT_EQ(ReadAll(dir.file("list.sen")),
            QByteArray("4\r\n1,A,\"01 03 00\"\r\n2,B,02\r\n3,C,03\r\n"));
}

TEST_F(DefineSend, SavingNumbersEveryRowAlsoThoseNeverDrawn) {
  QByteArray list = "41\r\n";
  for (int r = 1; r <= 40; ++r) {
    list += QByteArray::number(r) + ",n" + QByteArray::number(r) + ",00\r\n";
  }
  openWith(list);
  grid().setRow(2);
  click("BtnAdd");
  type(2, 3, "11");
  click("BtnSave");
  const QList<QByteArray> lines = ReadAll(dir.file("list.sen")).split('\n');
  ASSERT_EQ(lines.size(), 43);  // the count, 41 rows, and nothing after the last line break
  for (int r = 1; r <= 41; ++r) {
    EXPECT_TRUE(lines[r].startsWith(QByteArray::number(r) + ',')) << lines[r].constData();
  }
}

TEST_F(DefineSend, TheContentColumnFillsTheGridAsItIsResized) {
  openWith(kThreeMessages);
  for (QSize size : {QSize(700, 420), QSize(620, 380)}) {
    form->resize(size);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid().ColWidths(2), grid().width() - grid().ColWidths(0) - grid().ColWidths(1) - 30);
  }
}

TEST_F(DefineSend, CancelAtTheUnsavedChangesQuestionKeepsTheWindowOpen) {
  openWith(kThreeMessages);
  type(1, 2, "X");
  prompts.buttonAnswers.push_back(QMessageBox::Cancel);
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("修改的报文没有保存，是否要保存？")});
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("系统提示！"));
  EXPECT_EQ(grid().Cells(1, 2), "BX");
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);

  prompts.buttonAnswers.push_back(QMessageBox::Yes);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(ReadAll(dir.file("list.sen")), QByteArray("4\r\n1,A,01\r\n2,BX,02\r\n3,C,03\r\n"));
  EXPECT_EQ(prompts.boxes.size(), 2);
}

TEST_F(DefineSend, CtrlDeleteThenBackClosesWithoutAQuestion) {
  openWith(kThreeMessages);
  grid().setRow(2);
  QTest::keyClick(&grid(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(grid().RowCount(), 3);
  click("BtnBack");
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(prompts.boxes.isEmpty());
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
}

TEST_F(DefineSend, AddInsertsBelowTheCurrentRowAndColumnZeroIsRenumbered) {
  openWith("6\r\n9,A,01\r\n9,B,02\r\n9,C,03\r\n9,D,04\r\n9,E,05\r\n");
  grid().setRow(2);
  click("BtnAdd");
  ASSERT_EQ(grid().RowCount(), 7);
  EXPECT_EQ(grid().Cells(1, 3), QString());
  EXPECT_EQ(grid().Cells(1, 4), "C");
  grid().resize(600, 400);
  grid().grab();
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(grid().Cells(0, r), QString::number(r));
}

TEST_F(DefineSend, DeleteAsksFirstAndMarksTheListChanged) {
  openWith(kThreeMessages);
  grid().setRow(2);
  prompts.buttonAnswers.push_back(QMessageBox::No);
  click("BtnDel");
  EXPECT_EQ(grid().RowCount(), 4);
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("确定删除第 2 行纪录?")});
  prompts.buttonAnswers.push_back(QMessageBox::Yes);
  click("BtnDel");
  EXPECT_EQ(grid().Cells(1, 2), "C");
  prompts.buttonAnswers.push_back(QMessageBox::No);
  form->close();
  EXPECT_EQ(boxTexts().last(), QStringLiteral("修改的报文没有保存，是否要保存？"));
  EXPECT_FALSE(form->isVisible());
}

TEST_F(DefineSend, RefreshRemovesRowsWithoutContentButKeepsContentWithoutName) {
  openWith("4\r\n1,Named,\r\n2,,AA\r\n3,Blank,\" \t\"\r\n");
  click("BtnRefresh");
  ASSERT_EQ(grid().RowCount(), 2);
  EXPECT_EQ(grid().Cells(2, 1), "AA");
}

TEST_F(DefineSend, CancellingTheSaveDialogOfANewListClosesAndKeepsThePreviousName) {
  openWith(kThreeMessages);
  click("BtnNew");
  grid().setRowTexts(1, {"1", "One", "01"});
  prompts.fileAnswers.push_back(std::nullopt);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(storedName(), dir.file("list.sen"));
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
}

// Opening a list.

TEST_F(DefineSend, OpeningAListAfterAnEditLoadsItNumberedAndLeavesItUnchanged) {
  openWith(kThreeMessages);
  type(1, 2, "X");  // committed by 打开 itself, which marks the list changed
  const QByteArray other = "3\r\n9,Reset,\"AA 55\"\r\n9,Read,01\r\n";
  WriteAll(dir.file("other.sen"), other);
  prompts.fileAnswers.push_back(dir.file("other.sen"));
  click("BtnOpen");
  EXPECT_TRUE(prompts.boxes.isEmpty());  // the edit is dropped without a question
  ASSERT_EQ(grid().RowCount(), 3);
  EXPECT_EQ(grid().Cells(1, 1), "Reset");
  EXPECT_EQ(grid().Cells(2, 1), "AA 55");
  EXPECT_EQ(grid().Cells(1, 2), "Read");
  EXPECT_EQ(grid().Cells(2, 2), "01");
  // Checked before any drawing, which would renumber the rows on screen by itself.
  EXPECT_EQ(grid().Cells(0, 1), "1");
  EXPECT_EQ(grid().Cells(0, 2), "2");
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + dir.file("other.sen"));

  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(prompts.boxes.isEmpty());
  EXPECT_EQ(ReadAll(dir.file("other.sen")), other);
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
  EXPECT_EQ(storedName(), dir.file("other.sen"));
}

TEST_F(DefineSend, OpeningANameThatDoesNotExistShowsTheDefaultListAndSavesUnderTheTypedName) {
  const QByteArray fallback = "3\r\n1,Ping,0A\r\n2,Pong,0B\r\n";
  WriteAll(files.defaultSendFile(), fallback);
  openWith(kThreeMessages);
  const QString typed = dir.file("typed.sen");
  prompts.fileAnswers.push_back(typed);
  click("BtnOpen");
  ASSERT_EQ(grid().RowCount(), 3);
  EXPECT_EQ(grid().Cells(1, 1), "Ping");
  EXPECT_EQ(grid().Cells(2, 2), "0B");
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + typed);
  EXPECT_FALSE(QFile::exists(typed));

  type(2, 2, "C");
  click("BtnSave");
  EXPECT_EQ(prompts.fileRequests.size(), 1);  // the open dialog only
  EXPECT_EQ(ReadAll(typed), QByteArray("3\r\n1,Ping,0A\r\n2,Pong,0BC\r\n"));
  EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("保存成功!")});
  EXPECT_EQ(ReadAll(files.defaultSendFile()), fallback);
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
  form->close();
  EXPECT_EQ(storedName(), typed);
}

TEST_F(DefineSend, OpeningAListEndsTheNewFileState) {
  openWith(kThreeMessages);
  click("BtnNew");
  WriteAll(dir.file("other.sen"), kThreeMessages);
  prompts.fileAnswers.push_back(dir.file("other.sen"));
  click("BtnOpen");
  type(1, 1, "Z");
  click("BtnSave");
  EXPECT_EQ(prompts.fileRequests.size(), 1);  // no save dialog
  EXPECT_EQ(ReadAll(dir.file("other.sen")), QByteArray("4\r\n1,AZ,01\r\n2,B,02\r\n3,C,03\r\n"));
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + dir.file("other.sen"));
}

// Saving under another name.

TEST_F(DefineSend, SaveAfterSaveAsWritesToTheNewNameWithoutAskingAgain) {
  openWith(kThreeMessages);
  type(2, 1, "FF");
  prompts.fileAnswers.push_back(dir.file("copy"));
  click("BtnSavaAs");
  EXPECT_EQ(ReadAll(dir.file("copy.sen")), QByteArray("4\r\n1,A,01FF\r\n2,B,02\r\n3,C,03\r\n"));
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + dir.file("copy.sen"));

  type(2, 2, "EE");
  click("BtnSave");
  EXPECT_EQ(prompts.fileRequests.size(), 1);
  EXPECT_EQ(ReadAll(dir.file("copy.sen")), QByteArray("4\r\n1,A,01FF\r\n2,B,02EE\r\n3,C,03\r\n"));
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
  EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("另存成功!"), QStringLiteral("保存成功!")}));

  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(prompts.boxes.size(), 2);  // saved, so closing asks nothing
  EXPECT_EQ(storedName(), dir.file("copy.sen"));
}

// The close check of a new list.

TEST_F(DefineSend, ClosingANewListSavesItUnderTheConfirmedNameAndStoresThatName) {
  openWith(kThreeMessages);
  click("BtnNew");
  grid().setRowCount(3);
  grid().setRowTexts(1, {"1", "Reset", "AA 55"});
  grid().setRowTexts(2, {"2", "Read", "0"});
  type(2, 2, "1");  // still being typed when the window closes
  prompts.fileAnswers.push_back(dir.file("made"));
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(prompts.fileRequests.size(), 1);
  EXPECT_EQ(ReadAll(dir.file("made.sen")), QByteArray("3\r\n1,Reset,\"AA 55\"\r\n2,Read,01\r\n"));
  ASSERT_EQ(boxTexts(), QStringList{QStringLiteral("保存成功!")});
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("系统提示!"));
  EXPECT_EQ(storedName(), dir.file("made.sen"));
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
}

TEST_F(DefineSend, AFailedSaveWhileClosingANewListShowsTheErrorAndKeepsTheWindowOpen) {
  openWith(kThreeMessages);
  click("BtnNew");
  grid().setRowTexts(1, {"1", "One", "01"});
  prompts.fileAnswers.push_back(dir.file("no-such-dir/made"));
  form->close();
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].icon, widgets::PromptIcon::Error);
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("OruvoTarvix通讯调试软件"));
  EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("File not found."));
  EXPECT_EQ(status(), QStringLiteral("新建发送文件"));
  EXPECT_EQ(storedName(), dir.file("list.sen"));

  // Still a new list: the next close asks for a name again.
  prompts.fileAnswers.push_back(dir.file("made"));
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(prompts.fileRequests.size(), 2);
  EXPECT_EQ(ReadAll(dir.file("made.sen")), QByteArray("2\r\n1,One,01\r\n"));
  EXPECT_EQ(storedName(), dir.file("made.sen"));
}

TEST_F(DefineSend, AFailedSaveAfterYesAtTheUnsavedChangesQuestionKeepsTheWindowOpen) {
  WriteAll(files.defaultSendFile(), kThreeMessages);
  WriteAll(dir.file("plain"), "a file, not a directory");
  openWith(kThreeMessages);
  const QString below = dir.file("plain/list.sen");
  prompts.fileAnswers.push_back(below);
  click("BtnOpen");
  type(1, 2, "X");
  prompts.buttonAnswers.push_back(QMessageBox::Yes);
  form->close();
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(boxTexts(), (QStringList{QStringLiteral("修改的报文没有保存，是否要保存？"),
                                     QStringLiteral("Invalid filename.")}));
  EXPECT_EQ(prompts.boxes[1].icon, widgets::PromptIcon::Error);
  EXPECT_EQ(prompts.boxes[1].caption, QStringLiteral("OruvoTarvix通讯调试软件"));
  EXPECT_EQ(grid().Cells(1, 2), "BX");
  EXPECT_EQ(storedName(), dir.file("list.sen"));

  // The list is still changed: the question comes again.
  prompts.buttonAnswers.push_back(QMessageBox::No);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(boxTexts().size(), 3);
  EXPECT_EQ(boxTexts().last(), QStringLiteral("修改的报文没有保存，是否要保存？"));
  EXPECT_EQ(ReadAll(files.defaultSendFile()), kThreeMessages);
  EXPECT_EQ(ReadAll(dir.file("list.sen")), kThreeMessages);
  EXPECT_EQ(storedName(), below);
}

// An installed program keeps the user's lists in the configuration directory and has a list
// installed beside the executable.
TEST_F(DefineSend,
       AnInstalledListIsShownUntilTheUserSavesTheirOwnCopyAndDialogsStartInTheirFolder) {
  QDir(dir.path()).mkpath("config");
  QDir(dir.path()).mkpath("program");
  files = store::AppFiles(dir.file("config"), dir.file("log"), dir.file("program"));
  const QByteArray installed = "3\r\n1,Ping,0A\r\n2,Pong,0B\r\n";
  WriteAll(files.shippedFile("default.sen"), installed);
  open();
  ASSERT_EQ(grid().RowCount(), 3);
  EXPECT_EQ(grid().Cells(1, 2), "Pong");
  EXPECT_EQ(status(), QStringLiteral("发送报文文件:") + files.defaultSendFile());
  EXPECT_FALSE(QFile::exists(files.defaultSendFile())) << "reading makes no copy";

  type(2, 2, "C");
  click("BtnSave");
  EXPECT_EQ(ReadAll(files.defaultSendFile()), QByteArray("3\r\n1,Ping,0A\r\n2,Pong,0BC\r\n"));
  EXPECT_EQ(ReadAll(files.shippedFile("default.sen")), installed);

  click("BtnOpen");
  click("BtnSavaAs");
  ASSERT_EQ(prompts.fileRequests.size(), 2);  // both cancelled
  EXPECT_EQ(prompts.fileRequests[0].directory, dir.file("config"));
  EXPECT_EQ(prompts.fileRequests[1].directory, dir.file("config"));
  form->close();
  EXPECT_EQ(storedName(), files.defaultSendFile());
}

}  // namespace
