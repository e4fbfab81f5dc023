#include "textview/text_document.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace textview {

QStringList SplitIntoLines(const QString& text) {
  // The next of each break character, found by Qt's vectorised search and searched for again
  // only once passed: a long line without a break costs three fast scans.
  constexpr char16_t kBreaks[] = {u'\n', u'\r', QChar::ParagraphSeparator};
  qsizetype next[std::size(kBreaks)];
  for (size_t k = 0; k < std::size(kBreaks); ++k) next[k] = text.indexOf(QChar(kBreaks[k]));
  QStringList lines;
  qsizetype start = 0;
  for (;;) {
    qsizetype at = -1;
    for (const qsizetype found : next) {
      if (found >= 0 && (at < 0 || found < at)) at = found;
    }
    if (at < 0) break;
    lines << text.mid(start, at - start);
    if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n') ++at;
    start = at + 1;
    for (size_t k = 0; k < std::size(kBreaks); ++k) {
      if (next[k] >= 0 && next[k] < start) next[k] = text.indexOf(QChar(kBreaks[k]), start);
    }
  }
  lines << text.mid(start);
  return lines;
}

namespace {

// Where text inserted at `at` ends.
TextPosition endOf(TextPosition at, const QString& text) {
  const qsizetype lastBreak = text.lastIndexOf(u'\n');
  if (lastBreak < 0) return {at.line, at.column + text.size()};
  return {at.line + static_cast<int>(text.count(u'\n')), text.size() - lastBreak - 1};
}

}  // namespace

TextDocument::TextDocument(QObject* parent) : QObject(parent) {}

TextPosition TextDocument::end() const { return {lineCount() - 1, lines_.back().text.size()}; }

TextPosition TextDocument::clamped(TextPosition at) const {
  const int line = std::clamp(at.line, 0, lineCount() - 1);
  const qsizetype column = std::clamp<qsizetype>(at.column, 0, lines_[line].text.size());
  return {line, column};
}

QString TextDocument::toPlainText() const { return text({0, 0}, end()); }

QString TextDocument::text(TextPosition from, TextPosition to, QChar lineBreak) const {
  from = clamped(from);
  to = clamped(to);
  if (to < from) std::swap(from, to);
  if (from.line == to.line) return lines_[from.line].text.mid(from.column, to.column - from.column);
  QString result = lines_[from.line].text.mid(from.column);
  for (int line = from.line + 1; line < to.line; ++line) {
    result += lineBreak;
    result += lines_[line].text;
  }
  result += lineBreak;
  result += QStringView(lines_[to.line].text).left(to.column);
  return result;
}

void TextDocument::appendLines(const std::vector<TextLine>& lines) {
  if (lines.empty()) return;
  // As in a text edit, a new line ends the typing run and drops what was undone.
  mergeOpen_ = false;
  redo_.clear();
  const bool empty = isEmpty();
  const int first = empty ? 0 : lineCount();
  if (empty) lines_.clear();
  for (const TextLine& line : lines) {
    for (const QString& part : SplitIntoLines(line.text)) {
      if (!lines_.empty()) ++plainLength_;
      plainLength_ += part.size();
      lines_.push_back({part, line.colour});
    }
  }
  emit linesAppended(first, lineCount() - first);
}

void TextDocument::clear() { setPlainText(QString()); }

void TextDocument::setPlainText(const QString& text) {
  lines_.clear();
  plainLength_ = 0;
  for (const QString& part : SplitIntoLines(text)) {
    if (!lines_.empty()) ++plainLength_;
    plainLength_ += part.size();
    lines_.push_back({part, QColor()});
  }
  undo_.clear();
  redo_.clear();
  mergeOpen_ = false;
  emit reset();
}

TextPosition TextDocument::applyReplace(TextPosition from, TextPosition to, const QString& text,
                                        const std::vector<QColor>& laterColours) {
  const QStringList parts = SplitIntoLines(text);
  const Line& first = lines_[from.line];
  const QString head = first.text.left(from.column);
  const QString tail = lines_[to.line].text.mid(to.column);
  const QColor colour = first.colour;
  for (int line = from.line; line <= to.line; ++line) plainLength_ -= lines_[line].text.size();
  plainLength_ -= to.line - from.line;

  std::vector<Line> replacement;
  replacement.reserve(parts.size());
  for (const QString& part : parts) replacement.push_back({part, colour});
  for (size_t i = 0; i < laterColours.size() && i + 1 < replacement.size(); ++i)
    replacement[i + 1].colour = laterColours[i];
  replacement.front().text.prepend(head);
  const TextPosition after{from.line + static_cast<int>(parts.size()) - 1,
                           replacement.back().text.size()};
  replacement.back().text += tail;
  for (const Line& line : replacement) plainLength_ += line.text.size();
  plainLength_ += static_cast<qsizetype>(replacement.size()) - 1;

  const int removed = to.line - from.line + 1;
  const int added = static_cast<int>(replacement.size());
  auto at = lines_.begin() + from.line;
  const int common = std::min(removed, added);
  std::move(replacement.begin(), replacement.begin() + common, at);
  if (removed > added) {
    lines_.erase(at + common, at + removed);
  } else {
    lines_.insert(at + common, std::make_move_iterator(replacement.begin() + common),
                  std::make_move_iterator(replacement.end()));
  }
  emit linesReplaced(from.line, removed, added);
  return after;
}

TextPosition TextDocument::insert(TextPosition at, const QString& text, EditRun run) {
  at = clamped(at);
  if (text.isEmpty()) return at;
  const TextPosition after = applyReplace(at, at, text);
  record({at, QString(), this->text(at, after), {}, run});
  return after;
}

TextPosition TextDocument::remove(TextPosition from, TextPosition to, EditRun run) {
  from = clamped(from);
  to = clamped(to);
  if (to < from) std::swap(from, to);
  if (from == to) return from;
  Step step{from, text(from, to), QString(), {}, run};
  for (int line = from.line + 1; line <= to.line; ++line) {
    step.removedColours.push_back(lines_[line].colour);
  }
  applyReplace(from, to, QString());
  record(std::move(step));
  return from;
}

TextPosition TextDocument::replace(TextPosition from, TextPosition to, const QString& text) {
  from = clamped(from);
  to = clamped(to);
  if (to < from) std::swap(from, to);
  if (from == to) return insert(from, text, EditRun::None);
  Step step{from, this->text(from, to), QString(), {}, EditRun::None};
  for (int line = from.line + 1; line <= to.line; ++line) {
    step.removedColours.push_back(lines_[line].colour);
  }
  const TextPosition after = applyReplace(from, to, text);
  step.inserted = this->text(from, after);
  record(std::move(step));
  return after;
}

void TextDocument::record(Step step) {
  redo_.clear();
  const bool joins = mergeOpen_ && step.run != EditRun::None && !undo_.empty();
  mergeOpen_ = true;
  if (step.removed.contains(u'\n') || step.inserted.contains(u'\n')) step.run = EditRun::None;
  if (joins && step.run != EditRun::None) {
    Step& last = undo_.back();
    // Typing goes on the step before when that step's text ends where the caret typed, unless
    // it ended in a line break; a paste or a replaced selection counts too, as in a text edit.
    if (step.run == EditRun::Typing && !last.inserted.isEmpty() && !last.inserted.endsWith(u'\n') &&
        endOf(last.at, last.inserted) == step.at) {
      last.inserted += step.inserted;
      return;
    }
    if (step.run == EditRun::Delete && last.run == EditRun::Delete && step.at == last.at) {
      last.removed += step.removed;
      return;
    }
    if (step.run == EditRun::Backspace && last.run == EditRun::Backspace &&
        endOf(step.at, step.removed) == last.at) {
      last.at = step.at;
      last.removed.prepend(step.removed);
      return;
    }
  }
  undo_.push_back(std::move(step));
}

TextPosition TextDocument::replay(const Step& step, bool forward) {
  const QString& gone = forward ? step.removed : step.inserted;
  const QString& back = forward ? step.inserted : step.removed;
  // An undo gives the lines it brings back their colours in the same change.
  return applyReplace(step.at, endOf(step.at, gone), back,
                      forward ? std::vector<QColor>() : step.removedColours);
}

bool TextDocument::canUndo() const { return !undo_.empty(); }
bool TextDocument::canRedo() const { return !redo_.empty(); }

TextPosition TextDocument::undo() { return travel(undo_, redo_, false); }
TextPosition TextDocument::redo() { return travel(redo_, undo_, true); }

TextPosition TextDocument::travel(std::vector<Step>& from, std::vector<Step>& to, bool forward) {
  mergeOpen_ = false;
  if (from.empty()) return end();
  Step step = std::move(from.back());
  from.pop_back();
  const TextPosition after = replay(step, forward);
  to.push_back(std::move(step));
  return after;
}

}  // namespace textview
