#pragma once
// The view and editor of a TextDocument: shows it in a monospaced font and edits it as a
// plain text edit does (caret, mouse and keyboard selection, typing, Backspace / Delete, Enter,
// cut / copy / paste of plain text, undo / redo, the X11 primary selection, accessibility).
// Lines wrap at the viewport's width by cell arithmetic (wrap.h), each character taking the
// cells its glyph takes in the font (cell_widths.h); the row index (row_index.h) maps scroll
// rows to lines, so an appended line costs O(its length) once and no text off screen is ever
// shaped or laid out. Painting draws only the rows in the exposed area from glyph runs cached
// per visible row (row_glyphs.h), each row copied to whole device pixels so that rows tile at a
// fractional pixel ratio too; scrolling moves pixels.
// Program writes go through document().appendLine(); the view follows the document's signals
// and keeps its caret and anchor valid through every change. Appends only schedule an update
// (Qt merges them into one paint per event-loop turn). GUI thread only.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QTextCharFormat>
#include <memory>
#include <optional>
#include <vector>

#include "textview/cell_widths.h"
#include "textview/glyph_masks.h"
#include "textview/row_glyphs.h"
#include "textview/row_index.h"
#include "textview/row_raster.h"
#include "textview/text_document.h"
#include "textview/text_editing.h"

class QMenu;

namespace textview {

// Where the view puts the text the user selects and where a middle click takes text from: the
// X11 primary selection of the system clipboard by default. Tests replace it.
class PrimarySelection {
 public:
  virtual ~PrimarySelection() = default;
  virtual bool isSupported() const;
  virtual QString text() const;
  virtual void setText(const QString& text);
};

class TextView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TextView(QWidget* parent = nullptr);
  ~TextView() override;

  TextDocument& document() { return document_; }
  const TextDocument& document() const { return document_; }

  // The lines joined by "\n".
  QString toPlainText() const { return document_.toPlainText(); }
  // Replaces the text (default colour, no undo history); the caret goes to the start.
  void setPlainText(const QString& text);
  void clear();

  // The caret, the selection and the edits of the user, without the widget.
  TextEditing& editing() { return editing_; }

  void selectAll();
  bool hasSelection() const { return editing_.hasSelection(); }
  // The selection with line breaks as U+2029, as QTextCursor::selectedText gives it.
  QString selectedText() const;
  // The clipboard commands; copy and cut put the selection as plain text ("\n" line breaks).
  void copy();
  void cut();
  void paste();
  void undo();
  void redo();

  TextPosition caret() const { return editing_.caret(); }
  TextPosition anchor() const { return editing_.anchor(); }
  // Moves the caret (clamped into the document); without `keepAnchor` the selection goes.
  void setCaret(TextPosition at, bool keepAnchor = false);
  // The caret to the document's end, no selection.
  void moveCaretToEnd();
  // Scrolls as little as makes the caret's row visible.
  void ensureCaretVisible();

  // Geometry, for hit testing and the accessible interface. Viewport coordinates.
  int columns() const { return rows_.columns(); }
  qsizetype rowCount() const { return rows_.totalRows(); }
  qsizetype rowsOfLine(int line) const { return rows_.rowsOf(line); }
  // The columns of the row showing a caret at `at` (the row it starts at a row boundary).
  wrap::RowSpan rowSpanShowing(TextPosition at) const;
  qsizetype topRow() const;
  // Whole rows the viewport shows (at least one).
  int visibleRows() const;
  qreal cellWidth() const { return cellWidth_; }
  int rowHeight() const { return rowHeight_; }
  // The caret position nearest to a point.
  TextPosition positionAt(QPoint point) const;
  // The cells of the character at `at` (one cell at a line's end), on the row showing it.
  QRect characterRect(TextPosition at) const;
  QRect caretRect() const;
  // Characters of toPlainText() before a position, and back; computed on demand.
  qsizetype offsetOf(TextPosition at) const;
  TextPosition positionAtOffset(qsizetype offset) const;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  // The colour a line shows in: its own, or the palette's text colour when it has none.
  QColor shownColour(int line) const;

  // Not owned; nullptr restores the system clipboard's primary selection.
  void setPrimarySelection(PrimarySelection* selection);

  // Options for use as an editing box (text_view_options.cpp).
  // With it on, Tab and Shift+Tab move the focus on instead of typing a tab (a pasted tab still
  // goes in), as QPlainTextEdit::setTabChangesFocus does; off by default.
  void setTabChangesFocus(bool on) { tabChangesFocus_ = on; }
  bool tabChangesFocus() const { return tabChangesFocus_; }
  // Removes the selection as one undoable edit.
  void removeSelectedText();
  // The edit menu a plain text edit opens on a right click: undo, redo, cut, copy, paste, delete
  // and select all, each enabled where it applies. A child of the view; the caller deletes it.
  QMenu* createStandardContextMenu();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Place {        // a caret position as shown: the row of its line and the cell in that row
    qsizetype row = 0;  // row within the line
    wrap::RowSpan span;
    qreal cell = 0;
  };

  // Document signals
  void onLinesAppended(int first, int count);
  void onLinesReplaced(int first, int removed, int added);
  void onReset();

  // Geometry (text_view.cpp)
  void updateMetrics();
  void rewrap(bool force = false);
  void updateScrollRange();
  QRect contentRect() const;
  Place placeOf(TextPosition at, bool atRowEnd) const;
  // The caret position nearest to a point, and whether it shows at the end of its row.
  TextPosition positionAt(QPoint point, bool& atRowEnd) const;
  // The caret position in a row nearest to the edge at `cell`.
  TextPosition positionInRow(RowIndex::RowPlace place, qreal cell, bool& atRowEnd) const;
  // The caret at the end of a row of the line; `atRowEnd` when it shows on that row's end.
  TextPosition rowEnd(int line, wrap::RowSpan span, bool& atRowEnd) const;
  qsizetype rowOf(TextPosition at, bool atRowEnd) const;  // of the whole text
  int rowTop(qsizetype row) const;                        // viewport y of a row of the whole text
  RowCache::Row& laidRow(int line, qsizetype row);
  RowCache::Selection selectedCells(int line, wrap::RowSpan span) const;
  // The selected cells' pixels in a row, [left, right) from the viewport's left edge.
  std::pair<int, int> selectionPixels(RowCache::Selection selection) const;
  void drawRow(RowCache::Row& row, int line, RowCache::Selection selection);
  // Paints a row Qt must draw onto `band`, its device pixels, with a painter in device pixels.
  void paintRowWithQt(QPainter& painter, const QRect& band, const RowCache::Row& row, int line,
                      RowCache::Selection selection);
  int rowImageWidth() const;
  void updateRows(qsizetype firstRow, qsizetype lastRow);

  QRect caretRectOf(TextPosition at, bool atRowEnd) const;

  // Caret, selection and edits, as the controller reports them (text_view_input.cpp)
  void moveCaret(TextPosition at, bool keepAnchor, bool atRowEnd = false);
  void onCaretMoved(TextPosition oldCaret, bool oldAtRowEnd, bool hadSelection);
  void onEditStarting(TextPosition from, TextPosition to);
  void onEditDone();
  void restartBlink();
  void publishSelection();
  // The selection (or nothing at the caret) replaced by text.
  void typeText(const QString& text, TextDocument::EditRun run);
  bool handleMoveKey(QKeyEvent* event);
  bool handleEditKey(QKeyEvent* event);
  void autoScroll();

  // The rows and pages the controller moves by (text_view_layout.cpp).
  class Layout : public RowLayout {
   public:
    explicit Layout(TextView& view) : view_(view) {}
    qsizetype rowCount() const override;
    qsizetype rowOf(TextPosition at, bool atRowEnd) const override;
    qreal cellOf(TextPosition at, bool atRowEnd) const override;
    TextPosition positionInRow(qsizetype row, qreal cell, bool& atRowEnd) const override;
    TextPosition rowStart(TextPosition at, bool atRowEnd) const override;
    TextPosition rowEnd(TextPosition at, bool atRowEnd, bool& endAtRowEnd) const override;
    int pageRows() const override;
    void scrollByRows(int rows) override;

   private:
    TextView& view_;
  };
  class SystemClipboard : public ClipboardAccess {
   public:
    QString text() const override;
    void setText(const QString& text) override;
  };

  // Input method (text_view_input_method.cpp)
  void commitPreedit();
  QRect preeditCaretRect() const;  // the caret inside the text being composed
  void paintPreedit(QPainter& painter);

  // Accessibility notices, sent only while an assistive tool listens (text_view.cpp)
  void noticeCaret();
  void noticeChange(qsizetype offset, qsizetype removedLength, const QString& inserted);

  TextDocument document_;
  Layout layout_{*this};
  SystemClipboard clipboard_;
  TextEditing editing_{document_, layout_, clipboard_};
  CellWidths cells_;  // of the font; the row index's grid points here
  RowIndex rows_;
  RowGlyphs glyphs_;
  RowCache rowCache_;
  GlyphMasks masks_;
  GlyphCoverage coverage_;  // of the row being drawn
  RowRaster raster_;
  qreal cellWidth_ = 1;
  int rowHeight_ = 1;
  qreal ascent_ = 0;
  static constexpr int kMargin = 4;

  bool caretShown_ = true;
  QBasicTimer blinkTimer_;

  bool selectingByMouse_ = false;
  QPoint lastMousePoint_;
  QBasicTimer autoScrollTimer_;
  QBasicTimer tripleClickTimer_;
  QPoint tripleClickPoint_;

  // The text an input method is composing at the caret, not yet part of the document.
  struct PreeditFormat {
    int start;
    int length;
    QTextCharFormat format;
  };
  struct Preedit {
    QString text;
    std::vector<PreeditFormat> formats;
    int cursor = 0;
    bool cursorShown = true;
  };
  Preedit preedit_;

  bool tabChangesFocus_ = false;

  PrimarySelection systemSelection_;
  PrimarySelection* primarySelection_ = &systemSelection_;

  // A user edit in flight, for its accessibility notice: where, and how much it removes.
  struct PendingEdit {
    qsizetype offset;
    qsizetype removedLength;
  };
  std::optional<PendingEdit> pendingEdit_;
  qsizetype plainLength_ = 0;  // length of toPlainText(), kept for the removal notices
  mutable std::vector<qsizetype> lineOffsets_;  // offsets of lines [0, size), valid prefix
};

}  // namespace textview
