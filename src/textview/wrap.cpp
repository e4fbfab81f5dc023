#include "textview/wrap.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <optional>

namespace textview::wrap {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Code points of East Asian Width W and F (Unicode 15), in order.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x2E99},
    {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x303E},
    {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E3},   {0x31F0, 0x321E},   {0x3220, 0x3247},   {0x3250, 0x4DBF},
    {0x4E00, 0xA48C},   {0xA490, 0xA4C6},   {0xA960, 0xA97C},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},   {0xFE54, 0xFE66},
    {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08},
    {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122},
    {0x1B132, 0x1B132}, {0x1B150, 0x1B152}, {0x1B155, 0x1B155}, {0x1B164, 0x1B167},
    {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248},
    {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335},
    {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7},
    {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FA7C}, {0x1FA80, 0x1FA88}, {0x1FA90, 0x1FABD}, {0x1FABF, 0x1FAC5},
    {0x1FACE, 0x1FADB}, {0x1FAE0, 0x1FAE8}, {0x1FAF0, 0x1FAF8}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

}  // namespace

bool IsWide(char32_t c) {
  if (c < kWide[0].first) return false;
  const auto after = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                      [](char32_t v, const Range& r) { return v < r.first; });
  return c <= std::prev(after)->last;
}

bool IsPlain(QStringView line) {
  // Nearly every line is plain: four characters at a time, those of no tab and none from U+1000
  // up are passed over; the first four that may hold one are tested one by one from there on.
  constexpr quint64 kOnes = 0x0001'0001'0001'0001;
  constexpr quint64 kHighBits = 0x8000'8000'8000'8000;
  qsizetype at = 0;
  for (; at + 4 <= line.size(); at += 4) {
    quint64 four;
    std::memcpy(&four, line.data() + at, sizeof four);
    const quint64 tabs = four ^ (kOnes * u'\t');  // a zero lane where a tab is
    const bool tab = ((tabs - kOnes) & ~tabs & kHighBits) != 0;
    if (tab || (four & (kOnes * 0xF000)) != 0) break;
  }
  for (const QChar ch : line.sliced(at)) {
    const char16_t c = ch.unicode();
    if (c == u'\t') return false;
    if (c >= 0x1100 && (QChar::isSurrogate(c) || IsWide(c))) return false;
  }
  return true;
}

namespace {

// Cells are compared with this much slack: the ones after a tab are fractions.
constexpr qreal kCellSlack = 1e-6;

}  // namespace

Grid Fitted(const Grid& grid) {
  return {std::max(1, grid.columns), grid.tabStop > 0 ? grid.tabStop : 8};
}

CellWalker::CellWalker(QStringView line, const Grid& grid, int rowStart)
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
    width_ = IsWide(code_) ? 2 : 1;
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
  int lastAtOrBefore(int column) {
    if (!finder_) finder_.emplace(QTextBoundaryFinder::Line, line_.toString());
    finder_->setPosition(column);
    const qsizetype at = finder_->isAtBoundary() ? column : finder_->toPreviousBoundary();
    return static_cast<int>(std::max<qsizetype>(0, at));
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
int RowEndBefore(QStringView line, LineBreaks& breaks, int rowStart, int full, int earliest) {
  int word = full;  // the row's last word begins here, after a blank or at the row's start
  while (word > rowStart && !IsBlank(line[word - 1].unicode())) --word;
  bool alphanumeric = true;
  for (int i = word; i <= full && alphanumeric; ++i)
    alphanumeric = IsAsciiAlphanumeric(line[i].unicode());
  const int end = alphanumeric ? word : std::max(word, breaks.lastAtOrBefore(full));
  return end >= earliest ? end : full;
}

// The column after the spaces from `column` on.
int AfterSpaces(QStringView line, int column) {
  while (column < line.size() && line[column] == u' ') ++column;
  return column;
}

// The row that begins at `rowStart` (a row start of the line), laid as Qt's text layout lays a
// line: spaces wait to see what follows them and stay on the row they end, past its end if need
// be; a tab is laid at once, and a tab that takes a row holding something past its end ends
// that row. A row holds at least one character: a row of spaces alone only when they take more
// than the row; otherwise the first character after them is on it even without room for it.
RowSpan RowFrom(QStringView line, bool plain, const Grid& grid, LineBreaks& breaks, int rowStart) {
  const int columns = grid.columns;
  const int length = static_cast<int>(line.size());
  int full = length;      // the first column with no room in the row
  int earliest = 0;       // the first column the row may end at before `full`
  bool overfull = false;  // the characters before `full` already take more than the row
  if (plain) {
    const int firstText = AfterSpaces(line, rowStart);
    if (firstText - rowStart > columns && firstText < length) return {rowStart, firstText};
    full = std::min(length, std::max(rowStart + columns, firstText + 1));
    earliest = firstText + 1;
  } else {
    const auto past = [&](qreal cell) { return cell > columns + kCellSlack; };
    CellWalker w(line, grid, rowStart);
    bool holds = false;  // a tab is laid, and the spaces before it: the row holds something
    while (!w.atEnd() && IsBlank(w.codePoint())) {
      if (w.codePoint() == u' ') {
        const int spaces = w.column();
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
    const int firstText = w.column();
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

std::vector<int> RowStarts(QStringView line, bool plain, const Grid& grid) {
  const Grid fitted = Fitted(grid);
  LineBreaks breaks(line);
  std::vector<int> starts;
  const int length = static_cast<int>(line.size());
  for (int start = RowFrom(line, plain, fitted, breaks, 0).end; start < length;
       start = RowFrom(line, plain, fitted, breaks, start).end)
    starts.push_back(start);
  return starts;
}

qreal CellOf(QStringView line, bool plain, const Grid& grid, RowSpan span, int column) {
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

int ColumnNearest(QStringView line, bool plain, const Grid& grid, RowSpan span, qreal cell) {
  // A point exactly in the middle of a character goes before it, as in a text layout.
  if (plain) {
    return std::clamp(span.start + static_cast<int>(std::ceil(cell - 0.5)), span.start, span.end);
  }
  for (CellWalker w(line, grid, span.start); w.column() < span.end; w.next()) {
    if (cell <= w.cell() + w.width() / 2.0) return w.column();
  }
  return span.end;
}

}  // namespace textview::wrap
