// The text document alone, without a widget: lines and their colours, lengths and positions
// through edits, the undo steps, and one change notice for each change.
#include "textview/text_document.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

using textview::TextDocument;
using textview::TextPosition;

const QColor kGreen{0, 128, 0};
const QColor kBlue{0, 0, 255};

QStringList linesOf(const TextDocument& document) {
  QStringList lines;
  for (int line = 0; line < document.lineCount(); ++line) lines << document.lineText(line);
  return lines;
}

TEST(TextDocument, EditsKeepLengthsAndColoursAndEachChangeIsNoticedOnce) {
  TextDocument document;
  EXPECT_TRUE(document.isEmpty());
  EXPECT_FALSE(document.lineColour(0).isValid()) << "no colour of its own: the view's text colour";
  QSignalSpy appended(&document, &TextDocument::linesAppended);
  QSignalSpy replaced(&document, &TextDocument::linesReplaced);
  document.appendLines({{"RX:01 02", kGreen}, {"TX:03\r\n04", kBlue}});
  EXPECT_EQ(appended.count(), 1);
  EXPECT_EQ(appended.takeFirst(), (QList<QVariant>{0, 3}));
  EXPECT_EQ(linesOf(document), (QStringList{"RX:01 02", "TX:03", "04"}));
  EXPECT_EQ(document.lineColour(2), kBlue);
  EXPECT_EQ(document.plainTextLength(), document.toPlainText().size());

  // A removal across lines joins them in the first's colour; its undo brings back every line in
  // its own colour, in one notice.
  EXPECT_EQ(document.remove({0, 6}, {2, 1}), (TextPosition{0, 6}));
  EXPECT_EQ(linesOf(document), (QStringList{"RX:01 4"}));
  EXPECT_EQ(document.plainTextLength(), 7);
  EXPECT_EQ(replaced.count(), 1);
  replaced.clear();
  EXPECT_EQ(document.undo(), (TextPosition{2, 1}));
  EXPECT_EQ(linesOf(document), (QStringList{"RX:01 02", "TX:03", "04"}));
  EXPECT_EQ(document.lineColour(0), kGreen);
  EXPECT_EQ(document.lineColour(1), kBlue);
  EXPECT_EQ(document.lineColour(2), kBlue);
  EXPECT_EQ(replaced.count(), 1);
  EXPECT_EQ(replaced.takeFirst(), (QList<QVariant>{0, 1, 3}));
  EXPECT_EQ(document.plainTextLength(), document.toPlainText().size());
  document.redo();
  EXPECT_EQ(linesOf(document), (QStringList{"RX:01 4"}));
  EXPECT_EQ(replaced.count(), 1);

  // Typing in one run is one step; a line break is a step of its own; a replace is one step.
  document.undo();
  const TextPosition end = document.end();
  TextPosition at = document.insert(end, "a");
  at = document.insert(at, "b");
  at = document.insert(at, "\n");
  document.insert(at, "c");
  EXPECT_EQ(linesOf(document).mid(2), (QStringList{"04ab", "c"}));
  EXPECT_EQ(document.lineColour(3), kBlue) << "a line broken off keeps its colour";
  EXPECT_EQ(document.availableUndoSteps(), 3);  // "ab", the break, "c"
  document.replace({0, 0}, {0, 2}, "TX");
  EXPECT_EQ(document.lineText(0), "TX:01 02");
  document.undo();
  document.undo();
  document.undo();
  EXPECT_EQ(linesOf(document).mid(2), (QStringList{"04ab"}));
  document.undo();
  EXPECT_EQ(linesOf(document).mid(2), (QStringList{"04"}));
  EXPECT_EQ(document.plainTextLength(), document.toPlainText().size());

  // A program write ends the history's merging but not the history; clear forgets it.
  document.clear();
  EXPECT_TRUE(document.isEmpty());
  EXPECT_FALSE(document.canUndo());
  EXPECT_EQ(document.plainTextLength(), 0);
}

}  // namespace
