// The editing controller alone, with rows and a clipboard of the test's own: the moves, the
// edits, the clipboard commands and undo, as a plain text edit makes them.
#include "textview/text_editing.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>

namespace {

using textview::TextDocument;
using textview::TextEditing;
using textview::TextPosition;
using Motion = TextEditing::Motion;
using Removal = TextEditing::Removal;

// One row a line, a cell a UTF-16 unit, pages of three rows.
class LinesAsRows : public textview::RowLayout {
 public:
  explicit LinesAsRows(const TextDocument& document) : document_(document) {}
  int scrolled = 0;

  qsizetype rowCount() const override { return document_.lineCount(); }
  qsizetype rowOf(TextPosition at, bool) const override { return at.line; }
  qreal cellOf(TextPosition at, bool) const override { return at.column; }
  TextPosition positionInRow(qsizetype row, qreal cell, bool& atRowEnd) const override {
    atRowEnd = false;
    const int line = static_cast<int>(row);  // one row a line
    return {line, std::min(document_.lineText(line).size(), static_cast<qsizetype>(cell))};
  }
  TextPosition rowStart(TextPosition at, bool) const override { return {at.line, 0}; }
  TextPosition rowEnd(TextPosition at, bool, bool& endAtRowEnd) const override {
    endAtRowEnd = false;
    return {at.line, document_.lineText(at.line).size()};
  }
  int pageRows() const override { return 3; }
  void scrollByRows(int rows) override { scrolled += rows; }

 private:
  const TextDocument& document_;
};

class HeldText : public textview::ClipboardAccess {
 public:
  QString held;
  QString text() const override { return held; }
  void setText(const QString& text) override { held = text; }
};

struct Editing {
  TextDocument document;
  LinesAsRows layout{document};
  HeldText clipboard;
  TextEditing editing{document, layout, clipboard};
};

TEST(TextEditing, MovesGoByCharacterPairWordRowAndPageAndKeepTheCellTheyStartedFrom) {
  Editing e;
  TextEditing& editing = e.editing;
  e.document.setPlainText(QStringLiteral("RX:01 02 FF\nab\U0001F600cd\nlonger line here\nx\ny\nz"));
  editing.move(Motion::NextWord, false);
  EXPECT_EQ(editing.caret(), (TextPosition{0, 2}));  // "RX" then the separator ":"
  editing.setCaret({0, 11});
  editing.move(Motion::NextChar, false);
  EXPECT_EQ(editing.caret(), (TextPosition{1, 0}));  // over the line break
  editing.setCaret({1, 2});
  editing.move(Motion::NextChar, false);
  EXPECT_EQ(editing.caret(), (TextPosition{1, 4})) << "a surrogate pair is one character";
  editing.move(Motion::PreviousChar, true);
  EXPECT_EQ(editing.selectedText(), QStringLiteral("\U0001F600"));
  editing.setCaret({1, 3});
  EXPECT_EQ(editing.caret(), (TextPosition{1, 2})) << "never inside a pair";

  // Up and Down keep their cell through a shorter row.
  editing.setCaret({2, 10});
  editing.move(Motion::NextRow, false);
  EXPECT_EQ(editing.caret(), (TextPosition{3, 1}));
  editing.move(Motion::PreviousRow, false);
  EXPECT_EQ(editing.caret(), (TextPosition{2, 10}));
  // A page moves the caret a page and scrolls the layout with it; the last page ends at the end.
  editing.setCaret({0, 4});
  editing.move(Motion::PageDown, false);
  EXPECT_EQ(editing.caret(), (TextPosition{3, 1}));
  EXPECT_EQ(e.layout.scrolled, 3);
  editing.move(Motion::PageDown, true);
  editing.move(Motion::PageDown, true);
  EXPECT_EQ(editing.caret(), e.document.end());
  EXPECT_EQ(editing.anchor(), (TextPosition{3, 1}));
  // A plain move on the last row keeps the caret; Home and End go by rows.
  editing.move(Motion::NextRow, false);
  EXPECT_EQ(editing.caret(), e.document.end());
  editing.setCaret({2, 5});
  editing.move(Motion::RowEnd, false);
  EXPECT_EQ(editing.caret(), (TextPosition{2, 16}));
  editing.move(Motion::RowStart, true);
  EXPECT_EQ(editing.selectedText(), QStringLiteral("longer line here"));
  editing.move(Motion::NextChar, false);
  EXPECT_EQ(editing.caret(), (TextPosition{2, 16})) << "a move without Shift ends the selection";
}

TEST(TextEditing, EditsReplaceTheSelectionGoThroughTheClipboardAndUndoAsOneStepARun) {
  Editing e;
  TextEditing& editing = e.editing;
  QSignalSpy started(&editing, &TextEditing::editStarting);
  QSignalSpy done(&editing, &TextEditing::editDone);
  e.document.appendLine(QStringLiteral("TX:01 02"), QColor(0, 0, 255));
  editing.setCaret(e.document.end());
  for (const char* typed : {"a", "b", "c"}) editing.typeText(QString::fromLatin1(typed));
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:01 02abc"));
  EXPECT_EQ(started.count(), 3);
  EXPECT_EQ(done.count(), 3);
  editing.remove(Removal::PreviousChar);
  editing.remove(Removal::PreviousChar);
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:01 02a"));
  editing.undo();
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:01 02abc")) << "Backspaces are one step";
  editing.undo();
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:01 02"));
  EXPECT_EQ(editing.caret(), (TextPosition{0, 8}));
  editing.redo();
  EXPECT_EQ(editing.caret(), (TextPosition{0, 11}));

  // Cut, copy and paste reach the clipboard given; typing replaces a selection.
  editing.select({0, 3}, {0, 5});
  editing.copy();
  EXPECT_EQ(e.clipboard.held, QStringLiteral("01"));
  editing.typeText(QStringLiteral("FF"));
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:FF 02abc"));
  editing.selectWordAt({0, 7});
  editing.cut();
  EXPECT_EQ(e.clipboard.held, QStringLiteral("02abc"));
  e.clipboard.held = QStringLiteral("x\r\ny");
  editing.paste();
  EXPECT_EQ(e.document.toPlainText(), QStringLiteral("TX:FF x\ny"));
  EXPECT_EQ(editing.caret(), (TextPosition{1, 1}));
  editing.setCaret({0, 6});
  editing.remove(Removal::PreviousWord);
  EXPECT_EQ(e.document.lineText(0), QStringLiteral("TX:x"));

  // A change the controller did not make moves its caret into what is left.
  editing.selectAll();
  e.document.clear();
  EXPECT_EQ(editing.caret(), (TextPosition{0, 0}));
  EXPECT_FALSE(editing.hasSelection());
}

}  // namespace
