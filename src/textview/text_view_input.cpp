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

#include "textview/nearest_int.h"
#include "textview/text_view.h"
#include "textview/words.h"

namespace textview {

namespace {

using Motion = TextEditing::Motion;

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

QString TextView::selectedText() const { return editing_.selectedText(QChar::ParagraphSeparator); }

void TextView::setCaret(TextPosition at, bool keepAnchor) { editing_.setCaret(at, keepAnchor); }

void TextView::moveCaretToEnd() { editing_.setCaret(document_.end()); }

void TextView::moveCaret(TextPosition at, bool keepAnchor, bool atRowEnd) {
  editing_.setCaret(at, keepAnchor, atRowEnd);
}

void TextView::onCaretMoved(TextPosition oldCaret, bool oldAtRowEnd, bool hadSelection) {
  restartBlink();
  if (hadSelection || hasSelection()) {
    viewport()->update();
  } else {
    viewport()->update(caretRectOf(oldCaret, oldAtRowEnd));
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

void TextView::selectAll() { editing_.selectAll(); }

void TextView::publishSelection() {
  if (hasSelection() && primarySelection_->isSupported())
    primarySelection_->setText(editing_.selectedText());
}

// ---- edits ----

void TextView::onEditStarting(TextPosition from, TextPosition to) {
  if (!QAccessible::isActive()) return;
  const qsizetype start = offsetOf(from);
  pendingEdit_ = PendingEdit{start, offsetOf(to) - start};
}

void TextView::onEditDone() {
  pendingEdit_.reset();
  ensureCaretVisible();
}

void TextView::typeText(const QString& text, TextDocument::EditRun run) {
  editing_.typeText(text, run);
}

void TextView::copy() { editing_.copy(); }
void TextView::cut() { editing_.cut(); }
void TextView::paste() { editing_.paste(); }
void TextView::undo() { editing_.undo(); }
void TextView::redo() { editing_.redo(); }

QString TextView::SystemClipboard::text() const { return QGuiApplication::clipboard()->text(); }

void TextView::SystemClipboard::setText(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
}

// ---- keys ----

bool TextView::handleMoveKey(QKeyEvent* event) {
  for (const MoveBinding& binding : kMoveBindings) {
    const bool select = event->matches(binding.select);
    if (!select && !event->matches(binding.move)) continue;
    editing_.move(binding.motion, select);
    ensureCaretVisible();
    if (select) publishSelection();
    return true;
  }
  return false;
}

bool TextView::handleEditKey(QKeyEvent* event) {
  using Removal = TextEditing::Removal;
  const bool backspace =
      event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
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
  } else if (backspace) {
    editing_.remove(Removal::PreviousChar);
  } else if (event->matches(QKeySequence::Delete)) {
    editing_.remove(Removal::NextChar);
  } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
    editing_.remove(Removal::PreviousWord);
  } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
    editing_.remove(Removal::NextWord);
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
      editing_.selectLineAt(positionAt(point));
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
  const int step = lastMousePoint_.y() < contentRect().top() ? -1 : 1;
  bar->setValue(NearestInt(qsizetype{bar->value()} + step));
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
  editing_.selectWordAt(positionAt(point));
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
