#include "textview/text_editing.h"

#include <algorithm>

#include "textview/words.h"

namespace textview {

TextEditing::TextEditing(TextDocument& document, RowLayout& layout, ClipboardAccess& clipboard)
    : document_(document), layout_(layout), clipboard_(clipboard) {
  // Connected before any view of the document: a view that follows a change finds the caret
  // inside the new text.
  connect(&document_, &TextDocument::linesReplaced, this, &TextEditing::clampIntoDocument);
  connect(&document_, &TextDocument::reset, this, [this] {
    clampIntoDocument();
    caretAtRowEnd_ = false;
    keptCell_.reset();
  });
}

std::pair<TextPosition, TextPosition> TextEditing::selection() const {
  return caret_ < anchor_ ? std::pair{caret_, anchor_} : std::pair{anchor_, caret_};
}

QString TextEditing::selectedText(QChar lineBreak) const {
  const auto [from, to] = selection();
  return document_.text(from, to, lineBreak);
}

void TextEditing::clampIntoDocument() {
  caret_ = outOfPair(document_.clamped(caret_));
  anchor_ = outOfPair(document_.clamped(anchor_));
}

TextPosition TextEditing::outOfPair(TextPosition at) const {
  const QString& text = document_.lineText(at.line);
  if (at.column > 0 && at.column < text.size() && text[at.column - 1].isHighSurrogate() &&
      text[at.column].isLowSurrogate()) {
    --at.column;
  }
  return at;
}

void TextEditing::setCaret(TextPosition at, bool keepAnchor, bool atRowEnd) {
  at = outOfPair(document_.clamped(at));
  const TextPosition newAnchor = keepAnchor ? anchor_ : at;
  keptCell_.reset();
  if (at == caret_ && newAnchor == anchor_ && atRowEnd == caretAtRowEnd_) return;
  const TextPosition oldCaret = caret_;
  const bool oldAtRowEnd = caretAtRowEnd_;
  const bool hadSelection = hasSelection();
  caret_ = at;
  anchor_ = newAnchor;
  caretAtRowEnd_ = atRowEnd;
  emit caretMoved(oldCaret, oldAtRowEnd, hadSelection);
}

void TextEditing::select(TextPosition from, TextPosition to) {
  setCaret(from, false);
  setCaret(to, true);
}

void TextEditing::selectAll() { select({0, 0}, document_.end()); }

void TextEditing::selectWordAt(TextPosition at) {
  at = document_.clamped(at);
  const words::Word word = words::WordAt(document_.lineText(at.line), at.column);
  select({at.line, word.start}, {at.line, word.end});
}

void TextEditing::selectLineAt(TextPosition at) {
  at = document_.clamped(at);
  const TextPosition end = at.line + 1 < document_.lineCount()
                               ? TextPosition{at.line + 1, 0}
                               : TextPosition{at.line, document_.lineText(at.line).size()};
  select({at.line, 0}, end);
}

TextPosition TextEditing::nextChar(TextPosition at) const {
  const QString& text = document_.lineText(at.line);
  if (at.column < text.size()) {
    const bool pair = text[at.column].isHighSurrogate() && at.column + 1 < text.size() &&
                      text[at.column + 1].isLowSurrogate();
    return {at.line, at.column + (pair ? 2 : 1)};
  }
  return at.line + 1 < document_.lineCount() ? TextPosition{at.line + 1, 0} : at;
}

TextPosition TextEditing::previousChar(TextPosition at) const {
  if (at.column > 0) {
    const QString& text = document_.lineText(at.line);
    const bool pair = at.column >= 2 && text[at.column - 1].isLowSurrogate() &&
                      text[at.column - 2].isHighSurrogate();
    return {at.line, at.column - (pair ? 2 : 1)};
  }
  if (at.line == 0) return at;
  return {at.line - 1, document_.lineText(at.line - 1).size()};
}

TextPosition TextEditing::verticalTarget(int rows, bool& atRowEnd) {
  if (!keptCell_) keptCell_ = layout_.cellOf(caret_, caretAtRowEnd_);
  const qsizetype current = layout_.rowOf(caret_, caretAtRowEnd_);
  const qsizetype target = std::clamp<qsizetype>(current + rows, 0, layout_.rowCount() - 1);
  return layout_.positionInRow(target, *keptCell_, atRowEnd);
}

void TextEditing::move(Motion motion, bool keepAnchor) {
  const auto [from, to] = selection();
  const QString& text = document_.lineText(caret_.line);
  TextPosition target = caret_;
  bool atRowEnd = false;
  bool vertical = false;
  switch (motion) {
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
      const bool down = motion == Motion::NextRow;
      const qsizetype current = layout_.rowOf(caret_, caretAtRowEnd_);
      // Selecting past the first or last row reaches the document's start or end, as in a
      // plain text edit; a plain move there does nothing, the selection stays.
      if (current == (down ? layout_.rowCount() - 1 : 0)) {
        if (!keepAnchor) return;
        target = down ? document_.end() : TextPosition{0, 0};
        break;
      }
      vertical = true;
      target = verticalTarget(down ? 1 : -1, atRowEnd);
      break;
    }
    case Motion::PageUp:
    case Motion::PageDown: {
      // The layout moves a page and the caret with it, keeping its place on the screen; in the
      // first or last page the caret goes to the document's start or end.
      vertical = true;
      const int page = motion == Motion::PageDown ? layout_.pageRows() : -layout_.pageRows();
      const qsizetype current = layout_.rowOf(caret_, caretAtRowEnd_);
      if (current + page < 0 || current + page >= layout_.rowCount()) {
        const TextPosition edge = page < 0 ? TextPosition{0, 0} : document_.end();
        if (current == layout_.rowOf(edge, false)) {
          vertical = false;
          target = edge;
          break;
        }
      }
      layout_.scrollByRows(page);
      target = verticalTarget(page, atRowEnd);
      break;
    }
    case Motion::RowStart:
      target = layout_.rowStart(caret_, caretAtRowEnd_);
      break;
    case Motion::RowEnd:
      target = layout_.rowEnd(caret_, caretAtRowEnd_, atRowEnd);
      break;
    case Motion::LineStart:
      target = {caret_.line, 0};
      break;
    case Motion::LineEnd:
      target = {caret_.line, text.size()};
      break;
    case Motion::DocumentStart:
      target = {0, 0};
      break;
    case Motion::DocumentEnd:
      target = document_.end();
      break;
  }
  const std::optional<qreal> kept = keptCell_;
  setCaret(target, keepAnchor, atRowEnd);
  if (vertical) keptCell_ = kept;
}

void TextEditing::typeText(const QString& text, TextDocument::EditRun run) {
  const auto [from, to] = selection();
  emit editStarting(from, to);
  const TextPosition after =
      from == to ? document_.insert(from, text, run) : document_.replace(from, to, text);
  setCaret(after, false);
  emit editDone();
}

void TextEditing::removeRange(TextPosition from, TextPosition to, TextDocument::EditRun run) {
  if (from == to) return;
  emit editStarting(std::min(from, to), std::max(from, to));
  const TextPosition after = document_.remove(from, to, run);
  setCaret(after, false);
  emit editDone();
}

void TextEditing::remove(Removal removal) {
  if (hasSelection()) {
    const auto [from, to] = selection();
    removeRange(from, to);
    return;
  }
  const QString& text = document_.lineText(caret_.line);
  switch (removal) {
    case Removal::PreviousChar:
      removeRange(previousChar(caret_), caret_, TextDocument::EditRun::Backspace);
      break;
    case Removal::NextChar:
      removeRange(caret_, nextChar(caret_), TextDocument::EditRun::Delete);
      break;
    case Removal::PreviousWord:
      removeRange(caret_.column == 0
                      ? previousChar(caret_)
                      : TextPosition{caret_.line, words::PreviousWordStart(text, caret_.column)},
                  caret_);
      break;
    case Removal::NextWord:
      removeRange(caret_,
                  caret_.column == text.size()
                      ? nextChar(caret_)
                      : TextPosition{caret_.line, words::NextWordStart(text, caret_.column)});
      break;
  }
}

void TextEditing::copy() {
  if (hasSelection()) clipboard_.setText(selectedText());
}

void TextEditing::cut() {
  if (!hasSelection()) return;
  copy();
  const auto [from, to] = selection();
  removeRange(from, to);
}

void TextEditing::paste() {
  const QString text = clipboard_.text();
  if (!text.isEmpty()) typeText(text, TextDocument::EditRun::None);
}

void TextEditing::undo() {
  if (!document_.canUndo()) return;
  setCaret(document_.undo(), false);
  emit editDone();
}

void TextEditing::redo() {
  if (!document_.canRedo()) return;
  setCaret(document_.redo(), false);
  emit editDone();
}

}  // namespace textview
