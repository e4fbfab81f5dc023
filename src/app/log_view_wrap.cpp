#include "app/log_view_wrap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace app::logwrap {

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

CellWalker::CellWalker(QStringView line, int columns, int rowStart)
    : line_(line), columns_(std::max(1, columns)), column_(rowStart) {
  measure(0);
  startsRow_ = true;
}

void CellWalker::next() {
  column_ += units_;
  measure(cell_ + width_);
}

void CellWalker::measure(int cellAfterPrevious) {
  startsRow_ = false;
  if (atEnd()) {
    units_ = 0;
    code_ = 0;
    cell_ = cellAfterPrevious;
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
  const int natural = IsWide(code_) ? 2 : 1;  // a tab takes at least one cell
  cell_ = cellAfterPrevious;
  if (cell_ >= columns_ || (cell_ > 0 && cell_ + natural > columns_)) {
    cell_ = 0;
    startsRow_ = true;
  }
  width_ = code_ == u'\t' ? std::min(kTabStop - cell_ % kTabStop, columns_ - cell_) : natural;
}

int RowCount(QStringView line, bool plain, int columns) {
  columns = std::max(1, columns);
  if (plain) return std::max<int>(1, (line.size() + columns - 1) / columns);
  int rows = 1;
  for (CellWalker w(line, columns); !w.atEnd(); w.next()) {
    if (w.startsRow() && w.column() > 0) ++rows;
  }
  return rows;
}

RowSpan RowFrom(QStringView line, bool plain, int columns, int rowStart) {
  columns = std::max(1, columns);
  const int length = static_cast<int>(line.size());
  if (plain) return {rowStart, std::min(length, rowStart + columns)};
  CellWalker w(line, columns, rowStart);
  if (!w.atEnd()) w.next();
  while (!w.atEnd() && !w.startsRow()) w.next();
  return {rowStart, w.column()};
}

RowSpan RowAt(QStringView line, bool plain, int columns, int row) {
  columns = std::max(1, columns);
  const int length = static_cast<int>(line.size());
  if (plain) {
    const int last = std::max(0, (length - 1) / columns);
    const int start = std::clamp(row, 0, last) * columns;
    return {start, std::min(length, start + columns)};
  }
  RowSpan span = RowFrom(line, false, columns, 0);
  for (int r = 0; r < row && span.end < length; ++r) span = RowFrom(line, false, columns, span.end);
  return span;
}

RowOfColumn RowShowing(QStringView line, bool plain, int columns, int column, bool atRowEnd) {
  columns = std::max(1, columns);
  const int length = static_cast<int>(line.size());
  column = std::clamp(column, 0, length);
  if (plain) {
    int row = column / columns;
    if (row > 0 && column == row * columns && (atRowEnd || column == length)) --row;
    return {row, {row * columns, std::min(length, (row + 1) * columns)}};
  }
  RowOfColumn found{0, RowFrom(line, false, columns, 0)};
  while (found.span.end < length &&
         (column > found.span.end || (column == found.span.end && !atRowEnd))) {
    found = {found.row + 1, RowFrom(line, false, columns, found.span.end)};
  }
  return found;
}

int CellOf(QStringView line, bool plain, int columns, RowSpan span, int column) {
  column = std::clamp(column, span.start, span.end);
  if (plain) return column - span.start;
  // The cell after the character before the caret: at a row's end the walk has already wrapped.
  int cell = 0;
  for (CellWalker w(line, columns, span.start); w.column() < column && !w.atEnd(); w.next()) {
    cell = w.cell() + w.width();
  }
  return cell;
}

int ColumnNearest(QStringView line, bool plain, int columns, RowSpan span, qreal cell) {
  // A point exactly in the middle of a character goes before it, as in a text layout.
  if (plain) {
    return std::clamp(span.start + static_cast<int>(std::ceil(cell - 0.5)), span.start, span.end);
  }
  for (CellWalker w(line, columns, span.start); w.column() < span.end; w.next()) {
    if (cell <= w.cell() + w.width() / 2.0) return w.column();
  }
  return span.end;
}

}  // namespace app::logwrap
