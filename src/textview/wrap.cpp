#include "textview/wrap.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace textview::wrap {

const CellWidths& CellsOf(const Grid& grid) {
  static const CellWidths eastAsian;
  return grid.cells != nullptr ? *grid.cells : eastAsian;
}

bool IsPlain(QStringView line, const Grid& grid) {
  const CellWidths& cells = CellsOf(grid);
  qsizetype at = 0;
  if (cells.asciiNarrow()) {
    // Nearly every line is printable ASCII: four characters at a time, those of no control
    // character and none from U+0080 up are passed over; from the first four that may hold one
    // on, each is looked up. A lane below U+0020 stays below 0x80 with 0x60 added; a lane that
    // carries into the next is from U+FFA0 up, which the first test catches.
    constexpr quint64 kOnes = 0x0001'0001'0001'0001;
    for (; at + 4 <= line.size(); at += 4) {
      quint64 four;
      std::memcpy(&four, line.data() + at, sizeof four);
      const bool high = (four & (kOnes * 0xFF80)) != 0;
      const bool control = (~(four + kOnes * 0x60) & (kOnes * 0x80)) != 0;
      if (high || control) break;
    }
  }
  for (const QChar ch : line.sliced(at)) {
    const char16_t c = ch.unicode();
    if (c == u'\t' || QChar::isSurrogate(c) || cells.of(c) != 1) return false;
  }
  return true;
}

namespace {

// Cells are compared with this much slack: the ones after a tab are fractions.
constexpr qreal kCellSlack = 1e-6;

}  // namespace

Grid Fitted(const Grid& grid) {
  return {std::max(1, grid.columns), grid.tabStop > 0 ? grid.tabStop : 8, &CellsOf(grid)};
}

CellWalker::CellWalker(QStringView line, const Grid& grid, qsizetype rowStart)
    : line_(line), grid_(Fitted(grid)), column_(rowStart) {
  measure(0);
}

void CellWalker::next() {
  column_ += units_;
  measure(cell_ + width_);
}

void CellWalker::measure(qreal cellAfterPrevious) {
  cell_ = cellAfterPrevious;
  if (atEnd()) {
    units_ = 0;
    code_ = 0;
    width_ = 0;
    return;
  }
  const QChar high = line_[column_];
  units_ = 1;
  code_ = high.unicode();
  if (high.isHighSurrogate() && column_ + 1 < line_.size() && line_[column_ + 1].isLowSurrogate()) {
    code_ = QChar::surrogateToUcs4(high, line_[column_ + 1]);
    units_ = 2;
  }
  if (code_ == u'\t') {
    // To the next stop after the tab's start, a whole stop on from a stop. Past the row's end
    // it is a blank the row ends with.
    width_ = (std::floor(cell_ / grid_.tabStop + kCellSlack) + 1) * grid_.tabStop - cell_;
  } else {
    width_ = grid_.cells->of(code_);
  }
}

namespace {

bool IsBlank(char32_t c) { return c == u' ' || c == u'\t'; }

bool IsAsciiAlphanumeric(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The line-break opportunities of a line as Qt's line breaker finds them, over the whole line
// (its rules look past blanks), made only when a row's end needs them.
class LineBreaks {
 public:
  explicit LineBreaks(QStringView line) : line_(line) {}
  // The last opportunity at or before `column`; 0 when there is none after the line's start.
  qsizetype lastAtOrBefore(qsizetype column) {
    if (!finder_) finder_.emplace(QTextBoundaryFinder::Line, line_.toString());
    finder_->setPosition(column);
    const qsizetype at = finder_->isAtBoundary() ? column : finder_->toPreviousBoundary();
    return std::max<qsizetype>(0, at);
  }

 private:
  QStringView line_;
  std::optional<QTextBoundaryFinder> finder_;
};

// Where a row that begins at `rowStart` and has no room for the character at `full` (not a
// blank) ends: at the last line-break opportunity from `earliest` on, or at `full` when it has
// none. As in Qt's text layout, a row may end after any blank, and elsewhere where Qt's line
// breaker allows it. A row of hex ends in a word of letters and digits after a blank: that word
// moves down whole, found without the line breaker, which is asked only for other endings
// (punctuation, a wide character).
qsizetype RowEndBefore(QStringView line, LineBreaks& breaks, qsizetype rowStart, qsizetype full,
                       qsizetype earliest) {
  qsizetype word = full;  // the row's last word begins here, after a blank or at the row's start
  while (word > rowStart && !IsBlank(line[word - 1].unicode())) --word;
  bool alphanumeric = true;
  for (qsizetype i = word; i <= full && alphanumeric; ++i)
    alphanumeric = IsAsciiAlphanumeric(line[i].unicode());
  const qsizetype end = alphanumeric ? word : std::max(word, breaks.lastAtOrBefore(full));
  return end >= earliest ? end : full;
}

// The column after the spaces from `column` on.
qsizetype AfterSpaces(QStringView line, qsizetype column) {
  while (column < line.size() && line[column] == u' ') ++column;
  return column;
}

// The row that begins at `rowStart` (a row start of the line), laid as Qt's text layout lays a
// line: spaces wait to see what follows them and stay on the row they end, past its end if need
// be; a tab is laid at once, and a tab that takes a row holding something past its end ends
// that row. A row holds at least one character: a row of spaces alone only when they take more
// than the row; otherwise the first character after them is on it even without room for it.
RowSpan RowFrom(QStringView line, bool plain, const Grid& grid, LineBreaks& breaks,
                qsizetype rowStart) {
  const int columns = grid.columns;
  const qsizetype length = line.size();
  qsizetype full = length;  // the first column with no room in the row
  qsizetype earliest = 0;   // the first column the row may end at before `full`
  bool overfull = false;    // the characters before `full` already take more than the row
  if (plain) {
    const qsizetype firstText = AfterSpaces(line, rowStart);
    if (firstText - rowStart > columns && firstText < length) return {rowStart, firstText};
    full = std::min(length, std::max(rowStart + columns, firstText + 1));
    earliest = firstText + 1;
  } else {
    const auto past = [&](qreal cell) { return cell > columns + kCellSlack; };
    CellWalker w(line, grid, rowStart);
    bool holds = false;  // a tab is laid, and the spaces before it: the row holds something
    while (!w.atEnd() && IsBlank(w.codePoint())) {
      if (w.codePoint() == u' ') {
        const qsizetype spaces = w.column();
        while (!w.atEnd() && w.codePoint() == u' ') w.next();
        if (w.column() - spaces > columns) return {rowStart, w.column()};
        continue;
      }
      // A tab. Spaces that took a row holding something past its end leave the tab to the next
      // row; otherwise the spaces are laid, then the tab, which ends the row if it goes past.
      if (holds && past(w.cell())) return {rowStart, w.column()};
      holds = holds || w.column() > rowStart;
      if (holds && past(w.cell() + w.width())) return {rowStart, w.column() + 1};
      holds = true;
      w.next();
    }
    const qsizetype firstText = w.column();
    if (!holds && !w.atEnd()) w.next();
    while (!w.atEnd() && !past(w.cell() + w.width())) w.next();
    full = w.column();
    earliest = holds ? firstText : firstText + 1;
    overfull = past(w.cell());
  }
  if (full >= length) return {rowStart, length};
  if (line[full] == u' ') return {rowStart, AfterSpaces(line, full)};
  if (line[full] == u'\t') return {rowStart, overfull ? full : full + 1};
  return {rowStart, RowEndBefore(line, breaks, rowStart, full, earliest)};
}

}  // namespace

std::vector<qsizetype> RowStarts(QStringView line, bool plain, const Grid& grid) {
  const Grid fitted = Fitted(grid);
  LineBreaks breaks(line);
  std::vector<qsizetype> starts;
  const qsizetype length = line.size();
  for (qsizetype start = RowFrom(line, plain, fitted, breaks, 0).end; start < length;
       start = RowFrom(line, plain, fitted, breaks, start).end)
    starts.push_back(start);
  return starts;
}

qreal CellOf(QStringView line, bool plain, const Grid& grid, RowSpan span, qsizetype column) {
  const qreal columns = Fitted(grid).columns;
  column = std::clamp(column, span.start, span.end);
  if (plain) return std::min<qreal>(column - span.start, columns);
  // The cell after the character before the caret.
  qreal cell = 0;
  for (CellWalker w(line, grid, span.start); w.column() < column && !w.atEnd(); w.next()) {
    cell = w.cell() + w.width();
  }
  return std::min(cell, columns);
}

qsizetype ColumnNearest(QStringView line, bool plain, const Grid& grid, RowSpan span, qreal cell) {
  // A point exactly in the middle of a character goes before it, as in a text layout.
  if (plain) {
    return std::clamp(span.start + static_cast<qsizetype>(std::ceil(cell - 0.5)), span.start,
                      span.end);
  }
  for (CellWalker w(line, grid, span.start); w.column() < span.end; w.next()) {
    if (cell <= w.cell() + w.width() / 2.0) return w.column();
  }
  return span.end;
}

}  // namespace textview::wrap
