#include "widgets/message_grid.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include "store/message_list_file.h"
#include "support/temp_dir.h"
#include "widgets/message_grid_adapter.h"
#include "widgets/message_grid_values.h"

namespace {

using widgets::TPowerStringGrid;

// A 3-column grid with rows 1..dataRows, cells "r.c".
void fill(TPowerStringGrid& grid, int dataRows) {
  grid.setColCount(3);
  grid.setRowCount(dataRows + 1);
  for (int r = 1; r <= dataRows; ++r) {
    for (int c = 0; c < 3; ++c) grid.setCells(c, r, QStringLiteral("%1.%2").arg(r).arg(c));
  }
}

QStringList column1(const TPowerStringGrid& grid) {
  QStringList out;
  for (int r = 1; r < grid.RowCount(); ++r) out.append(grid.Cells(1, r));
  return out;
}

QLineEdit* openEditor(TPowerStringGrid& grid, int col, int row) {
  grid.setRow(row);
  grid.setCol(col);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  grid.edit(grid.model()->index(row - 1, col));
  return grid.viewport()->findChild<QLineEdit*>();
}

// The combo box a pick-list column edits with; the column's items are set and, with
// `limitToList`, the editor is read-only.
QComboBox* openPickList(TPowerStringGrid& grid, const QStringList& items, bool limitToList) {
  widgets::TColumn column = grid.Columns().Items(1);
  column.PickList = items;
  column.LimitToList = limitToList;
  grid.Columns().setItems(1, column);
  grid.show();
  grid.setRow(1);
  grid.setCol(1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  grid.edit(grid.model()->index(0, 1));
  return grid.viewport()->findChild<QComboBox*>();
}

TEST(MessageGridRows, CtrlInsertOnRowTwoOfFourInsertsAnEmptyRowThree) {
  TPowerStringGrid grid;
  fill(grid, 4);
  grid.setDataGridOptions(widgets::dgoInsertRow | widgets::dgoDeleteRow);
  grid.setRow(2);
  QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(column1(grid), (QStringList{"1.1", "2.1", "", "3.1", "4.1"}));
  EXPECT_EQ(grid.Row(), 2);
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(column1(grid), (QStringList{"1.1", "", "3.1", "4.1"}));
}

TEST(MessageGridRows, KeysChangeNoRowsWithoutDataGridOptions) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.setRow(2);
  QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(column1(grid), (QStringList{"1.1", "2.1"}));
}

TEST(MessageGridRows, DownOnTheLastRowAppendsARowAndMovesIntoIt) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.setDataGridOptions(widgets::dgoAppendRow);
  QSignalSpy before(&grid, &TPowerStringGrid::BeforeInsert);
  QSignalSpy after(&grid, &TPowerStringGrid::AfterInsert);
  grid.setRow(2);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Row(), 3);
  EXPECT_EQ(grid.Cells(1, 3), QString());
  EXPECT_EQ(before.count(), 1);
  EXPECT_EQ(after.count(), 1);
}

TEST(MessageGridRows, DeletionEmptiesTheOnlyDataRowAndHonoursRowCountMin) {
  TPowerStringGrid grid;
  fill(grid, 1);
  grid.DeleteRow(1);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), QString());

  fill(grid, 2);
  grid.setRowCountMin(3);
  grid.DeleteRow(1);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(column1(grid), (QStringList{"", "2.1"}));

  grid.setRowCountMin(0);
  grid.DeleteRow(1);
  EXPECT_EQ(column1(grid), (QStringList{"2.1"}));
  grid.DeleteRow(0);
  grid.DeleteRow(5);
  EXPECT_EQ(grid.RowCount(), 2);
}

TEST(MessageGridRows, RowCountMinIsNeverNegativeAndRaisesTheRowCount) {
  TPowerStringGrid grid;
  grid.setRowCountMin(-4);
  EXPECT_EQ(grid.RowCountMin(), 0);
  grid.setRowCountMin(6);
  EXPECT_EQ(grid.RowCount(), 6);
}

TEST(MessageGridRows, InsertRowKeepsCellsBelowAndAppendRowAddsAnEmptyLastRow) {
  TPowerStringGrid grid;
  fill(grid, 3);
  grid.InsertRow(3);
  EXPECT_EQ(column1(grid), (QStringList{"1.1", "2.1", "3.1", ""}));
  grid.AppendRow();
  EXPECT_EQ(grid.RowCount(), 6);
}

TEST(MessageGridNavigation, EnterMovesRightThenToTheNextRowAndStopsInTheLastCell) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.setRow(1);
  grid.setCol(1);
  QTest::keyClick(&grid, Qt::Key_Return);
  EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(2, 1));
  QTest::keyClick(&grid, Qt::Key_Return);
  EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(1, 2));
  QTest::keyClick(&grid, Qt::Key_Enter);
  QTest::keyClick(&grid, Qt::Key_Enter);
  EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(2, 2));
}

TEST(MessageGridNavigation, WithWholeRowSelectEverySecondEnterMovesTheRowDown) {
  TPowerStringGrid grid;
  fill(grid, 3);
  grid.setWholeRowSelect(true);
  grid.setRow(1);
  grid.setCol(1);
  QList<int> rows;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(&grid, Qt::Key_Return);
    rows.append(grid.Row());
  }
  EXPECT_EQ(rows, (QList<int>{1, 2, 2, 3}));
  EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST(MessageGridColumns, TheColumnListFollowsColCount) {
  TPowerStringGrid grid;
  grid.setColCount(3);
  grid.setColumnTitle(2, QStringLiteral("报文内容"));
  grid.setColCount(5);
  ASSERT_EQ(grid.Columns().Count(), 5);
  EXPECT_EQ(grid.Columns().Items(4).Title.Caption, QString());
  EXPECT_EQ(grid.Columns().Items(4).DropDownRows, 7u);
  grid.setColCount(2);
  EXPECT_EQ(grid.Columns().Count(), 2);
  grid.Columns().Add();
  EXPECT_EQ(grid.ColCount(), 3);
  grid.Columns().Delete(0);
  EXPECT_EQ(grid.ColCount(), 2);
}

TEST(MessageGridColumns, TheTitleRowShowsTheCaptionOrElseTheTitleCell) {
  TPowerStringGrid grid;
  grid.setColCount(3);
  grid.setCells(0, 0, QStringLiteral("#"));
  grid.setColumnTitle(1, QStringLiteral("报文名称"));
  grid.setCells(1, 0, QStringLiteral("hidden"));
  EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("#"));
  EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("报文名称"));
}

TEST(MessageGridColumns, RestoringDefaultsForgetsTheLookAndKeepsMasksAndLimits) {
  widgets::TColumn column(2);
  column.EditMask = "99";
  column.MaxLength = 4;
  column.LimitToList = true;
  column.DropDownRows = 3;
  column.setFormat(widgets::TColumnFormat::cfNumber);
  column.DisplayMask = "0.00";
  column.Alignment = Qt::AlignRight;
  column.ButtonStyle = widgets::TColumnButtonStyle::cbsEllipsis;
  column.Color = Qt::red;
  column.Font = QFont("Sans", 20);
  column.PickList = {"a", "b"};
  column.ReadOnly = true;
  column.Title.Caption = "Name";
  column.Title.Alignment = Qt::AlignCenter;
  column.RestoreDefaults();
  EXPECT_EQ(column.Alignment, Qt::AlignLeft);
  EXPECT_EQ(column.ButtonStyle, widgets::TColumnButtonStyle::cbsAuto);
  EXPECT_FALSE(column.Color || column.Font || column.ReadOnly);
  EXPECT_TRUE(column.PickList.isEmpty());
  EXPECT_TRUE(column.Title.Caption.isEmpty());
  EXPECT_EQ(column.Title.Alignment, Qt::AlignLeft);
  EXPECT_EQ(column.EditMask, "99");
  EXPECT_EQ(column.MaxLength, 4);
  EXPECT_TRUE(column.LimitToList);
  EXPECT_EQ(column.DropDownRows, 3u);
  EXPECT_EQ(column.Format(), widgets::TColumnFormat::cfNumber);
  EXPECT_EQ(column.DisplayMask, "0.00");
  EXPECT_EQ(column.InternalCol(), 2);
}

TEST(MessageGridColumns, VersionAlwaysReadsThreePointZero) {
  TPowerStringGrid grid;
  grid.setVersion(QStringLiteral("2.0"));
  EXPECT_EQ(grid.Version(), QStringLiteral("3.0"));
}

TEST(MessageGridEditing, AModifiedCommitRaisesUserChangedOnceEvenWithTheOldText) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.show();
  QSignalSpy changed(&grid, &TPowerStringGrid::UserChanged);

  QLineEdit* editor = openEditor(grid, 1, 2);
  ASSERT_NE(editor, nullptr);
  grid.CommitEdit();
  EXPECT_EQ(changed.count(), 0);

  editor = openEditor(grid, 1, 2);
  ASSERT_NE(editor, nullptr);
  editor->end(false);
  QTest::keyClick(editor, Qt::Key_X);
  QTest::keyClick(editor, Qt::Key_Backspace);
  grid.CommitEdit();
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0].value(0).toInt(), 1);
  EXPECT_EQ(changed[0].value(1).toInt(), 2);
  EXPECT_EQ(grid.Cells(1, 2), "2.1");
}

// Keys go where a user's keys go, to the focus widget, one right after the other.
void typeAtFocus(const QByteArray& keys) {
  for (const char key : keys) QTest::keyClick(QApplication::focusWidget(), key);
}

TEST(MessageGridEditing, EveryKeyTypedAtOnceAfterAClickOnTheCurrentCellLandsInIt) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.resize(400, 200);
  grid.show();
  grid.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
  for (const int col : {1, 2}) {
    grid.setRow(2);
    grid.setCol(col);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QModelIndex current = grid.model()->index(1, col);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(current).center());
    typeAtFocus("01 03 00");
    EXPECT_EQ(grid.Cells(col, 2), "01 03 00") << "column " << col;
    grid.CommitEdit();
  }
  // A click on another cell only moves there; typing then opens the editor with the first key.
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                    grid.visualRect(grid.model()->index(0, 1)).center());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(grid.viewport()->findChild<QLineEdit*>(), nullptr);
  typeAtFocus("ab");
  EXPECT_EQ(grid.Cells(1, 1), "ab");
}

TEST(MessageGridEditing, NumberAndDateColumnsCoerceAtCommitOrKeepTheOldText) {
  TPowerStringGrid grid;
  fill(grid, 1);
  widgets::TColumn number = grid.Columns().Items(1);
  number.setFormat(widgets::TColumnFormat::cfNumber);
  grid.Columns().setItems(1, number);
  widgets::TColumn date = grid.Columns().Items(2);
  date.setFormat(widgets::TColumnFormat::cfDate);
  grid.Columns().setItems(2, date);
  grid.show();
  QSignalSpy changed(&grid, &TPowerStringGrid::UserChanged);

  auto type = [&](int col, const QString& text) {
    QLineEdit* editor = openEditor(grid, col, 1);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    grid.CommitEdit();
  };
  type(1, "1.50");
  EXPECT_EQ(grid.Cells(1, 1), "1.5");
  type(1, "abc");
  EXPECT_EQ(grid.Cells(1, 1), "1.5");
  type(2, "t");
  EXPECT_EQ(grid.Cells(2, 1), QDate::currentDate().toString("yyyy-MM-dd"));
  type(2, "2024/3/7");
  EXPECT_EQ(grid.Cells(2, 1), "2024-03-07");
  type(2, "soon");
  EXPECT_EQ(grid.Cells(2, 1), "2024-03-07");
  // Every modified commit is reported, the two that did not convert too.
  EXPECT_EQ(changed.count(), 5);
}

TEST(MessageGridEditing, AFailedConversionPutsTheOldTextBackAndClearsTheModifiedMark) {
  TPowerStringGrid grid;
  fill(grid, 1);
  widgets::TColumn number = grid.Columns().Items(1);
  number.setFormat(widgets::TColumnFormat::cfNumber);
  grid.Columns().setItems(1, number);
  grid.show();
  QSignalSpy changed(&grid, &TPowerStringGrid::UserChanged);
  QLineEdit* editor = openEditor(grid, 1, 1);
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "abc");

  emit grid.itemDelegate()->commitData(editor);
  EXPECT_EQ(editor->text(), "1.1");
  EXPECT_EQ(grid.Cells(1, 1), "1.1");
  EXPECT_EQ(changed.count(), 1);
  // Nothing is modified any more, so committing again reports nothing.
  emit grid.itemDelegate()->commitData(editor);
  EXPECT_EQ(changed.count(), 1);
}

TEST(MessageGridEditing, ACellHoldsWhatItsEditorShowsWhileTheUserTypesAndEscapePutsTheOldTextBack) {
  TPowerStringGrid grid;
  fill(grid, 2);
  widgets::TColumn masked = grid.Columns().Items(2);
  masked.EditMask = "99:99";
  grid.Columns().setItems(2, masked);
  grid.show();
  QSignalSpy changed(&grid, &TPowerStringGrid::UserChanged);

  QLineEdit* editor = openEditor(grid, 1, 1);
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "ab");
  EXPECT_EQ(grid.Cells(1, 1), "ab");
  QTest::keyClick(editor, Qt::Key_Backspace);
  EXPECT_EQ(grid.Cells(1, 1), "a");
  EXPECT_EQ(editor->text(), "a") << "the editor keeps what was typed, caret and all";
  EXPECT_TRUE(editor->isModified());
  EXPECT_EQ(changed.count(), 0) << "typing is not a commit";
  const QPointer<QLineEdit> closing(editor);
  QTest::keyClick(editor, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(closing.isNull()) << "Escape closes the editor";
  EXPECT_EQ(grid.Cells(1, 1), "1.1");
  EXPECT_EQ(changed.count(), 0);

  editor = openEditor(grid, 2, 2);
  ASSERT_NE(editor, nullptr);
  editor->home(false);
  QTest::keyClicks(editor, "1234");
  EXPECT_EQ(grid.Cells(2, 2), editor->text());
  EXPECT_EQ(grid.Cells(2, 2), "12:34");
  grid.CommitEdit();
  EXPECT_EQ(grid.Cells(2, 2), "12:34");
  EXPECT_EQ(changed.count(), 1);

  QComboBox* combo = openPickList(grid, {"Alpha", "Read"}, true);
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_R);
  EXPECT_EQ(grid.Cells(1, 1), "Read") << "a picked item reaches the cell before the commit";
  QTest::keyClick(combo, Qt::Key_Escape);
  EXPECT_EQ(grid.Cells(1, 1), "1.1");
  EXPECT_EQ(changed.count(), 1);
}

TEST(MessageGridEditing, APickListColumnEditsWithAComboBox) {
  TPowerStringGrid grid;
  fill(grid, 1);
  widgets::TColumn column = grid.Columns().Items(1);
  column.PickList = {"Reset", "Read"};
  column.LimitToList = true;
  grid.Columns().setItems(1, column);
  grid.show();
  grid.setRow(1);
  grid.setCol(1);
  grid.edit(grid.model()->index(0, 1));
  auto* combo = grid.viewport()->findChild<QComboBox*>();
  ASSERT_NE(combo, nullptr);
  EXPECT_FALSE(combo->isEditable());
  EXPECT_EQ(combo->count(), 2);
}

TEST(MessageGridEditing, AReadOnlyPickListPicksTheFirstItemByTheTypedFirstCharacter) {
  TPowerStringGrid grid;
  fill(grid, 1);
  QSignalSpy changed(&grid, &TPowerStringGrid::UserChanged);
  QComboBox* combo = openPickList(grid, {"Alpha", "Read", "echo", "reset"}, true);
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(combo, Qt::Key_R);
  EXPECT_EQ(combo->currentText(), "Read");
  // Each character picks on its own: "e" right after "r" finds "echo", not "Read" again.
  QTest::keyClick(combo, Qt::Key_E);
  EXPECT_EQ(combo->currentText(), "echo");
  QTest::keyClick(combo, Qt::Key_R, Qt::ShiftModifier);
  EXPECT_EQ(combo->currentText(), "Read");
  QTest::keyClick(combo, Qt::Key_Z);
  EXPECT_EQ(combo->currentText(), "Read");
  grid.CommitEdit();
  EXPECT_EQ(grid.Cells(1, 1), "Read");
  EXPECT_EQ(changed.count(), 1);
}

TEST(MessageGridEditing, TheOpenPickListSearchesForTheTypedTextUntilBackspace) {
  TPowerStringGrid grid;
  fill(grid, 1);
  QComboBox* combo = openPickList(grid, {"Alpha", "Read", "reset"}, false);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->completer(), nullptr);
  combo->showPopup();
  QAbstractItemView* list = combo->view();
  QTest::keyClicks(list, "res");
  EXPECT_EQ(list->currentIndex().row(), 2);
  QTest::keyClick(list, Qt::Key_Backspace);
  QTest::keyClicks(list, "rr");
  EXPECT_EQ(list->currentIndex().row(), 1);
  QTest::keyClick(list, Qt::Key_Backspace);
  QTest::keyClick(list, Qt::Key_A);
  EXPECT_EQ(list->currentIndex().row(), 0);
  combo->hidePopup();
}

TEST(MessageGridEditing, ADoubleClickInAReadOnlyEditorPressesItsButton) {
  TPowerStringGrid grid;
  fill(grid, 1);
  QComboBox* combo = openPickList(grid, {"Alpha", "Read"}, true);
  ASSERT_NE(combo, nullptr);
  const QPoint textArea(4, combo->height() / 2);
  QTest::mouseClick(combo, Qt::LeftButton, {}, textArea);
  EXPECT_FALSE(combo->view()->isVisible());
  QTest::mouseDClick(combo, Qt::LeftButton, {}, textArea);
  EXPECT_TRUE(combo->view()->isVisible());
  combo->hidePopup();

  widgets::TColumn ellipsis = grid.Columns().Items(2);
  ellipsis.ButtonStyle = widgets::TColumnButtonStyle::cbsEllipsis;
  ellipsis.ReadOnly = true;
  grid.Columns().setItems(2, ellipsis);
  QSignalSpy pressed(&grid, &TPowerStringGrid::EditButtonClick);
  QLineEdit* editor = openEditor(grid, 2, 1);
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isReadOnly());
  QTest::mouseDClick(editor, Qt::LeftButton, {}, QPoint(4, editor->height() / 2));
  EXPECT_EQ(pressed.count(), 1);

  // An editor the user can type in keeps the double click for selecting a word.
  grid.CommitEdit();
  ellipsis.ReadOnly = false;
  grid.Columns().setItems(2, ellipsis);
  editor = openEditor(grid, 2, 1);
  ASSERT_NE(editor, nullptr);
  QTest::mouseDClick(editor, Qt::LeftButton, {}, QPoint(4, editor->height() / 2));
  EXPECT_EQ(pressed.count(), 1);
}

TEST(MessageGridEditing, CtrlDeleteInTheEditorDeletesOneRow) {
  TPowerStringGrid grid;
  fill(grid, 3);
  grid.setDataGridOptions(widgets::dgoDeleteRow);
  grid.show();
  QLineEdit* editor = openEditor(grid, 1, 2);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(column1(grid), (QStringList{"1.1", "3.1"}));
}

TEST(MessageGridSelection, TheOwnerIsAskedBeforeTheCurrentCellMovesAndMayRefuse) {
  TPowerStringGrid grid;
  fill(grid, 3);
  grid.resize(300, 200);
  grid.show();
  grid.setRow(2);
  grid.setCol(1);
  QList<QList<int>> asked;  // column, row, and the current row while asking
  QObject::connect(&grid, &TPowerStringGrid::SelectCell, [&](int col, int row, bool& allow) {
    asked.append({col, row, grid.Row()});
    allow = row != 3;
  });

  grid.setRow(3);
  EXPECT_FALSE(grid.selectionModel()->isSelected(grid.model()->index(2, 1)));
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_FALSE(grid.selectionModel()->isSelected(grid.model()->index(2, 1)));
  const QModelIndex refused = grid.model()->index(2, 1);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(refused).center());
  EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(1, 2));
  EXPECT_FALSE(grid.selectionModel()->isSelected(refused));
  EXPECT_EQ(asked, (QList<QList<int>>{{1, 3, 2}, {1, 3, 2}, {1, 3, 2}}));

  asked.clear();
  const QModelIndex allowed = grid.model()->index(0, 2);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(allowed).center());
  EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(2, 1));
  EXPECT_EQ(asked, (QList<QList<int>>{{2, 1, 2}}));
}

TEST(MessageGridSelection, TheEditOfTheCellBeingLeftIsReportedBeforeTheNextCellIsAsked) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.show();
  QStringList heard;
  QObject::connect(&grid, &TPowerStringGrid::UserChanged, [&](int col, int row) {
    heard.append(QStringLiteral("changed %1,%2").arg(col).arg(row));
  });
  QObject::connect(&grid, &TPowerStringGrid::SelectCell, [&](int col, int row, bool&) {
    heard.append(QStringLiteral("select %1,%2").arg(col).arg(row));
  });
  QLineEdit* editor = openEditor(grid, 1, 1);
  ASSERT_NE(editor, nullptr);
  heard.clear();
  QTest::keyClick(editor, Qt::Key_X);
  grid.setRow(2);
  EXPECT_EQ(heard, (QStringList{"changed 1,1", "select 1,2"}));
}

TEST(MessageGridSelection, TheRowNumberColumnNeverHoldsTheCursor) {
  for (bool wholeRow : {false, true}) {
    SCOPED_TRACE(wholeRow ? "whole-row selection" : "cell selection");
    TPowerStringGrid grid;
    fill(grid, 3);
    grid.setWholeRowSelect(wholeRow);
    grid.resize(300, 200);
    grid.show();
    grid.setRow(1);
    grid.setCol(1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.visualRect(grid.model()->index(1, 0)).center());
    EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(1, 2));
    if (wholeRow) {
      EXPECT_TRUE(grid.selectionModel()->isRowSelected(1));
    }
    QTest::keyClick(&grid, Qt::Key_Left);
    QTest::keyClick(&grid, Qt::Key_Home);
    EXPECT_EQ(std::pair(grid.Col(), grid.Row()), std::pair(1, 2));
  }
}

TEST(MessageGridSelection, TheGridTellsOfItsOwnResize) {
  TPowerStringGrid grid;
  QSignalSpy resized(&grid, &TPowerStringGrid::Resized);
  grid.resize(300, 200);
  grid.show();
  grid.resize(400, 200);
  EXPECT_GE(resized.count(), 2);
}

TEST(MessageGridPainting, ABackgroundPictureShowsInNormalCellsAndInvertedInSelectedOnes) {
  TPowerStringGrid grid;
  fill(grid, 2);
  grid.resize(300, 200);
  widgets::TColumn coloured = grid.Columns().Items(2);
  coloured.Color = Qt::red;
  grid.Columns().setItems(2, coloured);
  grid.setCells(2, 1, QString());
  grid.setCells(2, 2, QString());
  QPixmap picture(16, 16);
  picture.fill(QColor(10, 200, 30));
  grid.setBGImage(picture);
  grid.show();
  grid.setRow(1);
  grid.setCol(2);

  const QImage shown = grid.viewport()->grab().toImage();
  auto colourAt = [&](int col, int row) {
    return shown.pixelColor(grid.visualRect(grid.model()->index(row - 1, col)).center());
  };
  EXPECT_EQ(colourAt(2, 1), QColor(245, 55, 225));
  EXPECT_EQ(colourAt(2, 2), QColor(10, 200, 30));
  EXPECT_EQ(shown.pixelColor(shown.width() - 2, shown.height() - 2), QColor(10, 200, 30));
}

TEST(MessageGridValues, DisplayMasksFormatNumbersAndDatesOrLeaveTheText) {
  widgets::TColumn number;
  number.setFormat(widgets::TColumnFormat::cfNumber);
  number.DisplayMask = "#,##0.00";
  EXPECT_EQ(widgets::DisplayCellText(number, "1234.5"), "1,234.50");
  EXPECT_EQ(widgets::DisplayCellText(number, "n/a"), "n/a");
  number.setFormat(widgets::TColumnFormat::cfDate);
  EXPECT_EQ(number.DisplayMask, QString());
  number.DisplayMask = "dd.mm.yyyy hh:nn";
  EXPECT_EQ(widgets::DisplayCellText(number, "2024-03-07 08:05:00"), "07.03.2024 08:05");
}

TEST(MessageGridAdapter, LoadsAListFileIntoTheWidgetGrid) {
  testing_support::TempDir dir;
  testing_support::WriteAll(dir.file("list.sen"), "3\r\n1,A,\"01 02\"\r\n2,\"B C\",7F\r\n");
  TPowerStringGrid grid;
  grid.setColCount(3);
  grid.setColumnTitle(1, QStringLiteral("报文名称"));
  widgets::GridAdapter adapter(grid);
  store::LoadGridsFromFile({&adapter}, dir.file("list.sen"), "default.sen",
                           store::AppFiles(dir.path()));
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(2, 1), "01 02");
  EXPECT_EQ(grid.Cells(1, 2), "B C");
  store::FitGridColumns(adapter, {1});
  EXPECT_EQ(grid.ColWidths(1),
            grid.fontMetrics().horizontalAdvance(QStringLiteral("报文名称")) + 20);
}

}  // namespace
