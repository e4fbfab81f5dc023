// The text view's caret, selection and editing: keys, mouse, clipboard and undo, as a plain text
// edit handles them.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>

#include "textview/text_view.h"
#include "textview/words.h"

namespace textview {

namespace {

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

struct MoveBinding {
  QKeySequence::StandardKey move;
  QKeySequence::StandardKey select;
  Motion motion;
};

constexpr MoveBinding kMoveBindings[] = {
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Motion::PreviousChar},
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Motion::NextChar},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Motion::PreviousWord},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Motion::NextWord},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Motion::PreviousRow},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Motion::NextRow},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Motion::RowStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Motion::RowEnd},
    {QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock, Motion::LineStart},
    {QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock, Motion::LineEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
     Motion::DocumentStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Motion::DocumentEnd},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Motion::PageUp},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Motion::PageDown},
};

constexpr QKeySequence::StandardKey kEditingKeys[] = {
    QKeySequence::Undo,
    QKeySequence::Redo,
    QKeySequence::Cut,
    QKeySequence::Copy,
    QKeySequence::Paste,
    QKeySequence::SelectAll,
    QKeySequence::Delete,
    QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,
    QKeySequence::InsertParagraphSeparator,
    QKeySequence::InsertLineSeparator,
};

// Keys the view handles itself even where a window shortcut claims them, as a text edit does.
bool isEditingShortcut(const QKeyEvent* key) {
  const Qt::KeyboardModifiers plain = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  if (plain == Qt::NoModifier) {
    if (key->key() < Qt::Key_Escape) return true;  // printable
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Delete:
      case Qt::Key_Backspace:
      case Qt::Key_Tab:
        return true;
      default:
        break;
    }
  }
  for (const MoveBinding& binding : kMoveBindings) {
    if (key->matches(binding.move) || key->matches(binding.select)) return true;
  }
  for (const QKeySequence::StandardKey standard : kEditingKeys) {
    if (key->matches(standard)) return true;
  }
  return false;
}

// Whether a key types its text, by the rule of Qt's text edits: format characters (ZWJ, RLM,
// which some layouts type with Ctrl+Shift) always; otherwise nothing with Ctrl or Ctrl+Shift
// held (AltGr, which arrives as Ctrl+Alt, still types); then printable and private-use
// characters, a whole surrogate pair, and a tab.
bool isTypedText(const QKeyEvent* key) {
  const QString text = key->text();
  if (text.isEmpty()) return false;
  const QChar first = text.front();
  if (first.category() == QChar::Other_Format) return true;
  const Qt::KeyboardModifiers modifiers = key->modifiers();
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
    return false;
  return first.isPrint() || first.category() == QChar::Other_PrivateUse || first == u'\t' ||
         (first.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate());
}

}  // namespace

// ---- caret and selection ----

std::pair<TextPosition, TextPosition> TextView::selection() const {
  return caret_ < anchor_ ? std::pair{caret_, anchor_} : std::pair{anchor_, caret_};
}

QString TextView::selectedText() const {
  const auto [from, to] = selection();
  return document_.text(from, to, QChar::ParagraphSeparator);
}

void TextView::setCaret(TextPosition at, bool keepAnchor) { moveCaret(at, keepAnchor); }

void TextView::moveCaretToEnd() { moveCaret(document_.end(), false); }

void TextView::moveCaret(TextPosition at, bool keepAnchor, bool atRowEnd) {
  at = document_.clamped(at);
  const TextPosition newAnchor = keepAnchor ? anchor_ : at;
  keptCell_.reset();
  if (at == caret_ && newAnchor == anchor_ && atRowEnd == caretAtRowEnd_) return;
  const bool hadSelection = hasSelection();
  const QRect oldCaret = caretRect();
  caret_ = at;
  anchor_ = newAnchor;
  caretAtRowEnd_ = atRowEnd;
  restartBlink();
  if (hadSelection || hasSelection()) {
    viewport()->update();
  } else {
    viewport()->update(oldCaret);
    viewport()->update(caretRect());
  }
  noticeCaret();
}

void TextView::restartBlink() {
  caretShown_ = true;
  const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flashTime > 0) {
    blinkTimer_.start(flashTime / 2, this);
  } else {
    blinkTimer_.stop();
  }
}

void TextView::select(TextPosition from, TextPosition to) {
  moveCaret(from, false);
  moveCaret(to, true);
}

void TextView::selectAll() { select({0, 0}, document_.end()); }

void TextView::selectWordAt(TextPosition at) {
  at = document_.clamped(at);
  const words::Word word = words::WordAt(document_.lineText(at.line), at.column);
  select({at.line, word.start}, {at.line, word.end});
}

void TextView::selectLineAt(TextPosition at) {
  at = document_.clamped(at);
  const TextPosition end = at.line + 1 < document_.lineCount()
                               ? TextPosition{at.line + 1, 0}
                               : TextPosition{at.line, int(document_.lineText(at.line).size())};
  select({at.line, 0}, end);
}

void TextView::publishSelection() {
  if (!hasSelection() || !primarySelection_->isSupported()) return;
  const auto [from, to] = selection();
  primarySelection_->setText(document_.text(from, to));
}

// ---- edits ----

void TextView::beginEdit(TextPosition from, TextPosition to) {
  if (!QAccessible::isActive()) return;
  const qsizetype start = offsetOf(from);
  pendingEdit_ = PendingEdit{start, offsetOf(to) - start};
}

void TextView::typeText(const QString& text, TextDocument::EditRun run) {
  const auto [from, to] = selection();
  beginEdit(from, to);
  const TextPosition after =
      from == to ? document_.insert(from, text, run) : document_.replace(from, to, text);
  pendingEdit_.reset();
  moveCaret(after, false);
  ensureCaretVisible();
}

void TextView::removeRange(TextPosition from, TextPosition to, TextDocument::EditRun run) {
  if (from == to) return;
  beginEdit(std::min(from, to), std::max(from, to));
  const TextPosition after = document_.remove(from, to, run);
  pendingEdit_.reset();
  moveCaret(after, false);
  ensureCaretVisible();
}

void TextView::copy() {
  if (!hasSelection()) return;
  const auto [from, to] = selection();
  QGuiApplication::clipboard()->setText(document_.text(from, to));
}

void TextView::cut() {
  if (!hasSelection()) return;
  copy();
  const auto [from, to] = selection();
  removeRange(from, to, TextDocument::EditRun::None);
}

void TextView::paste() {
  const QString text = QGuiApplication::clipboard()->text();
  if (!text.isEmpty()) typeText(text, TextDocument::EditRun::None);
}

void TextView::undo() {
  if (!document_.canUndo()) return;
  moveCaret(document_.undo(), false);
  ensureCaretVisible();
}

void TextView::redo() {
  if (!document_.canRedo()) return;
  moveCaret(document_.redo(), false);
  ensureCaretVisible();
}

TextPosition TextView::nextChar(TextPosition at) const {
  const QString& text = document_.lineText(at.line);
  if (at.column < text.size()) {
    const bool pair = text[at.column].isHighSurrogate() && at.column + 1 < text.size() &&
                      text[at.column + 1].isLowSurrogate();
    return {at.line, at.column + (pair ? 2 : 1)};
  }
  return at.line + 1 < document_.lineCount() ? TextPosition{at.line + 1, 0} : at;
}

TextPosition TextView::previousChar(TextPosition at) const {
  if (at.column > 0) {
    const QString& text = document_.lineText(at.line);
    const bool pair = at.column >= 2 && text[at.column - 1].isLowSurrogate() &&
                      text[at.column - 2].isHighSurrogate();
    return {at.line, at.column - (pair ? 2 : 1)};
  }
  if (at.line == 0) return at;
  return {at.line - 1, static_cast<int>(document_.lineText(at.line - 1).size())};
}

// ---- keys ----

TextPosition TextView::verticalTarget(int rows, bool& atRowEnd) {
  const Place place = placeOf(caret_, caretAtRowEnd_);
  if (!keptCell_) keptCell_ = place.cell;
  const int current = rows_.firstRowOf(caret_.line) + place.row;
  const int target = std::clamp(current + rows, 0, rows_.totalRows() - 1);
  return positionInRow(rows_.placeOf(target), *keptCell_, atRowEnd);
}

bool TextView::handleMoveKey(QKeyEvent* event) {
  const MoveBinding* binding = nullptr;
  bool keepAnchor = false;
  for (const MoveBinding& b : kMoveBindings) {
    if (event->matches(b.move) || event->matches(b.select)) {
      binding = &b;
      keepAnchor = event->matches(b.select);
      break;
    }
  }
  if (!binding) return false;

  const auto [from, to] = selection();
  const QString& text = document_.lineText(caret_.line);
  TextPosition target = caret_;
  bool atRowEnd = false;
  bool vertical = false;
  switch (binding->motion) {
    case Motion::PreviousChar:
      target = !keepAnchor && hasSelection() ? from : previousChar(caret_);
      break;
    case Motion::NextChar:
      target = !keepAnchor && hasSelection() ? to : nextChar(caret_);
      break;
    case Motion::PreviousWord:
      target = caret_.column == 0
                   ? previousChar(caret_)
                   : TextPosition{caret_.line, words::PreviousWordStart(text, caret_.column)};
      break;
    case Motion::NextWord:
      target = caret_.column == text.size()
                   ? nextChar(caret_)
                   : TextPosition{caret_.line, words::NextWordStart(text, caret_.column)};
      break;
    case Motion::PreviousRow:
    case Motion::NextRow: {
      const bool down = binding->motion == Motion::NextRow;
      const int current = rowOf(caret_, caretAtRowEnd_);
      // Selecting past the first or last row reaches the document's start or end, as in a
      // plain text edit; a plain move there does nothing, the selection stays.
      if (current == (down ? rows_.totalRows() - 1 : 0)) {
        if (!keepAnchor) return true;
        target = down ? document_.end() : TextPosition{0, 0};
        break;
      }
      vertical = true;
      target = verticalTarget(down ? 1 : -1, atRowEnd);
      break;
    }
    case Motion::PageUp:
    case Motion::PageDown: {
      // The view moves a page and the caret with it, keeping its place on the screen; in the
      // first or last row the caret goes to the document's start or end.
      vertical = true;
      const int page = binding->motion == Motion::PageDown ? visibleRows() : -visibleRows();
      const int current = rowOf(caret_, caretAtRowEnd_);
      if (current + page < 0 || current + page >= rows_.totalRows()) {
        const TextPosition edge = page < 0 ? TextPosition{0, 0} : document_.end();
        if (current == rowOf(edge, false)) {
          vertical = false;
          target = edge;
          break;
        }
      }
      verticalScrollBar()->setValue(verticalScrollBar()->value() + page);
      target = verticalTarget(page, atRowEnd);
      break;
    }
    case Motion::RowStart:
    case Motion::RowEnd: {
      const Place place = placeOf(caret_, caretAtRowEnd_);
      target = binding->motion == Motion::RowStart ? TextPosition{caret_.line, place.span.start}
                                                   : rowEnd(caret_.line, place.span, atRowEnd);
      break;
    }
    case Motion::LineStart:
      target = {caret_.line, 0};
      break;
    case Motion::LineEnd:
      target = {caret_.line, static_cast<int>(text.size())};
      break;
    case Motion::DocumentStart:
      target = {0, 0};
      break;
    case Motion::DocumentEnd:
      target = document_.end();
      break;
  }
  const std::optional<qreal> kept = keptCell_;
  moveCaret(target, keepAnchor, atRowEnd);
  if (vertical) keptCell_ = kept;
  ensureCaretVisible();
  if (keepAnchor) publishSelection();
  return true;
}

bool TextView::handleEditKey(QKeyEvent* event) {
  const auto [from, to] = selection();
  if (event->matches(QKeySequence::Undo)) {
    undo();
  } else if (event->matches(QKeySequence::Redo)) {
    redo();
  } else if (event->matches(QKeySequence::Cut)) {
    cut();
  } else if (event->matches(QKeySequence::Copy)) {
    copy();
  } else if (event->matches(QKeySequence::Paste)) {
    paste();
  } else if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    publishSelection();
  } else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator)) {
    typeText(QStringLiteral("\n"), TextDocument::EditRun::None);
  } else if (hasSelection() &&
             (event->matches(QKeySequence::Delete) ||
              event->matches(QKeySequence::DeleteStartOfWord) ||
              event->matches(QKeySequence::DeleteEndOfWord) ||
              (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)))) {
    removeRange(from, to, TextDocument::EditRun::None);
  } else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
    removeRange(previousChar(caret_), caret_, TextDocument::EditRun::Backspace);
  } else if (event->matches(QKeySequence::Delete)) {
    removeRange(caret_, nextChar(caret_), TextDocument::EditRun::Delete);
  } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
    const QString& text = document_.lineText(caret_.line);
    const TextPosition start =
        caret_.column == 0
            ? previousChar(caret_)
            : TextPosition{caret_.line, words::PreviousWordStart(text, caret_.column)};
    removeRange(start, caret_, TextDocument::EditRun::None);
  } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
    const QString& text = document_.lineText(caret_.line);
    const TextPosition end =
        caret_.column == text.size()
            ? nextChar(caret_)
            : TextPosition{caret_.line, words::NextWordStart(text, caret_.column)};
    removeRange(caret_, end, TextDocument::EditRun::None);
  } else {
    if (!isTypedText(event)) return false;
    typeText(event->text(), TextDocument::EditRun::Typing);
  }
  return true;
}

void TextView::keyPressEvent(QKeyEvent* event) {
  if (handleMoveKey(event) || handleEditKey(event)) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TextView::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      isEditingShortcut(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QAbstractScrollArea::event(event);
}

void TextView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  restartBlink();
  viewport()->update(caretRect());
}

void TextView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blinkTimer_.stop();
  viewport()->update(caretRect());
}

void TextView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == blinkTimer_.timerId()) {
    caretShown_ = !caretShown_;
    viewport()->update(caretRect());
  } else if (event->timerId() == autoScrollTimer_.timerId()) {
    autoScroll();
  } else if (event->timerId() == tripleClickTimer_.timerId()) {
    tripleClickTimer_.stop();
  } else {
    QAbstractScrollArea::timerEvent(event);
  }
}

// ---- mouse ----

void TextView::mousePressEvent(QMouseEvent* event) {
  commitPreedit();
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (tripleClickTimer_.isActive() &&
        (point - tripleClickPoint_).manhattanLength() < QApplication::startDragDistance()) {
      tripleClickTimer_.stop();
      selectLineAt(positionAt(point));
      publishSelection();
      return;
    }
    bool atRowEnd = false;
    const TextPosition at = positionAt(point, atRowEnd);
    moveCaret(at, event->modifiers() & Qt::ShiftModifier, atRowEnd);
    selectingByMouse_ = true;
    lastMousePoint_ = point;
  } else if (event->button() == Qt::MiddleButton && primarySelection_->isSupported()) {
    const QString text = primarySelection_->text();
    moveCaret(positionAt(point), false);
    if (!text.isEmpty()) typeText(text, TextDocument::EditRun::None);
  }
  event->accept();
}

void TextView::mouseMoveEvent(QMouseEvent* event) {
  if (!selectingByMouse_ || !(event->buttons() & Qt::LeftButton)) return;
  lastMousePoint_ = event->position().toPoint();
  bool atRowEnd = false;
  const TextPosition at = positionAt(lastMousePoint_, atRowEnd);
  moveCaret(at, true, atRowEnd);
  const QRect content = contentRect();
  if (lastMousePoint_.y() < content.top() || lastMousePoint_.y() > content.bottom()) {
    if (!autoScrollTimer_.isActive()) autoScrollTimer_.start(50, this);
  } else {
    autoScrollTimer_.stop();
  }
}

void TextView::autoScroll() {
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + (lastMousePoint_.y() < contentRect().top() ? -1 : 1));
  bool atRowEnd = false;
  const TextPosition at = positionAt(lastMousePoint_, atRowEnd);
  moveCaret(at, true, atRowEnd);
}

void TextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  autoScrollTimer_.stop();
  if (std::exchange(selectingByMouse_, false)) publishSelection();
}

void TextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  selectWordAt(positionAt(point));
  selectingByMouse_ = false;
  tripleClickPoint_ = point;
  tripleClickTimer_.start(QGuiApplication::styleHints()->mouseDoubleClickInterval(), this);
  publishSelection();
}

// ---- dropped text ----

void TextView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void TextView::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasText()) return;
  moveCaret(positionAt(event->position().toPoint()), false);
  event->acceptProposedAction();
}

// Dropped text goes in at the point of the drop, as pasted text does at the caret.
void TextView::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasText()) return;
  moveCaret(positionAt(event->position().toPoint()), false);
  typeText(event->mimeData()->text(), TextDocument::EditRun::None);
  event->acceptProposedAction();
}

}  // namespace textview
