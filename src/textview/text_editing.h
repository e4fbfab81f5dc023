#pragma once
// Editing a TextDocument without a widget: the caret and the anchor of the selection, moves by
// character, word, row and page, typed text, removals, the clipboard commands and undo / redo,
// as a plain text edit does them. Rows and pages are the view's: the controller asks them of a
// RowLayout, so it can be driven, and tested, without one. The clipboard is reached through an
// interface too. The caret and anchor stay valid through every change of the document: edits
// of the controller's own put the caret where they end, any other change clamps them into the
// text. A caret never rests inside a surrogate pair. GUI thread only.

#include <QObject>
#include <QString>
#include <optional>
#include <utility>

#include "textview/text_document.h"

namespace textview {

// What the controller asks of the layout that shows its document.
class RowLayout {
 public:
  virtual ~RowLayout() = default;
  virtual qsizetype rowCount() const = 0;
  // The row of the whole text that shows a caret at `at`: the row it starts when it is a row
  // boundary, the row it ends when `atRowEnd` is set.
  virtual qsizetype rowOf(TextPosition at, bool atRowEnd) const = 0;
  // The cell of a caret at `at` within its row.
  virtual qreal cellOf(TextPosition at, bool atRowEnd) const = 0;
  // The caret position in `row` nearest to `cell`; `atRowEnd` when it shows at the row's end.
  virtual TextPosition positionInRow(qsizetype row, qreal cell, bool& atRowEnd) const = 0;
  // The start and the end of the row showing a caret at `at`.
  virtual TextPosition rowStart(TextPosition at, bool atRowEnd) const = 0;
  virtual TextPosition rowEnd(TextPosition at, bool atRowEnd, bool& endAtRowEnd) const = 0;
  // The rows a page holds, and a scroll of the layout by rows (a page move scrolls with it).
  virtual int pageRows() const = 0;
  virtual void scrollByRows(int rows) = 0;
};

// Where cut and copy put text and paste takes it from.
class ClipboardAccess {
 public:
  virtual ~ClipboardAccess() = default;
  virtual QString text() const = 0;
  virtual void setText(const QString& text) = 0;
};

class TextEditing : public QObject {
  Q_OBJECT
 public:
  enum class Motion {
    PreviousChar,
    NextChar,
    PreviousWord,
    NextWord,
    PreviousRow,
    NextRow,
    RowStart,
    RowEnd,
    LineStart,
    LineEnd,
    DocumentStart,
    DocumentEnd,
    PageUp,
    PageDown,
  };
  enum class Removal { PreviousChar, NextChar, PreviousWord, NextWord };

  TextEditing(TextDocument& document, RowLayout& layout, ClipboardAccess& clipboard);

  TextPosition caret() const { return caret_; }
  TextPosition anchor() const { return anchor_; }
  // A caret at a row boundary shows at the end of the row before when this is set.
  bool caretAtRowEnd() const { return caretAtRowEnd_; }
  bool hasSelection() const { return caret_ != anchor_; }
  std::pair<TextPosition, TextPosition> selection() const;  // ordered
  QString selectedText(QChar lineBreak = u'\n') const;

  // Moves the caret (clamped into the text, never inside a surrogate pair); without
  // `keepAnchor` the selection goes.
  void setCaret(TextPosition at, bool keepAnchor = false, bool atRowEnd = false);
  void select(TextPosition from, TextPosition to);
  void selectAll();
  void selectWordAt(TextPosition at);
  // The line with its line break.
  void selectLineAt(TextPosition at);
  // A move as the arrow, Home / End and page keys make it; Up and Down keep the cell they
  // started from while they go on.
  void move(Motion motion, bool keepAnchor);

  // The selection, or nothing at the caret, replaced by text.
  void typeText(const QString& text, TextDocument::EditRun run = TextDocument::EditRun::Typing);
  // The selection, or else what the removal names beside the caret.
  void remove(Removal removal);
  void removeRange(TextPosition from, TextPosition to,
                   TextDocument::EditRun run = TextDocument::EditRun::None);
  void copy();
  void cut();
  void paste();
  void undo();
  void redo();

  TextPosition nextChar(TextPosition at) const;
  TextPosition previousChar(TextPosition at) const;

 signals:
  // The caret, the anchor or where the caret shows changed; before, the caret was `oldCaret`
  // and the selection was there or not.
  void caretMoved(TextPosition oldCaret, bool oldAtRowEnd, bool hadSelection);
  // An edit of the controller's own is about to replace [from, to).
  void editStarting(TextPosition from, TextPosition to);
  // That edit is done (the document has sent its change notice).
  void editDone();

 private:
  void clampIntoDocument();
  TextPosition outOfPair(TextPosition at) const;
  TextPosition verticalTarget(int rows, bool& atRowEnd);

  TextDocument& document_;
  RowLayout& layout_;
  ClipboardAccess& clipboard_;
  TextPosition caret_;
  TextPosition anchor_;
  bool caretAtRowEnd_ = false;
  std::optional<qreal> keptCell_;  // the cell Up / Down keep while moving through rows
};

}  // namespace textview
