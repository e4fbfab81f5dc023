#pragma once
// How the text view wraps a line into rows of monospaced cells, by a walk over the text and a
// table of the cells each code point takes (cell_widths.h: one, or two for a character its font
// draws wide), except the tab, which reaches the next tab stop of its row where a Qt text view
// sets them (every 80 pixels: a fraction of cells). Every code point takes at least one cell, so
// the caret always lands on the edge of a character.
// A row holds `columns` cells and breaks where Qt's text layout, wrapping at word boundaries,
// breaks it: after blanks (spaces and tabs), and elsewhere where Qt's line breaker allows. The
// spaces a row ends with stay on it even past its last cell; a word longer than a row is broken
// where the row is full. So a hex line never splits a byte.
// A plain line (every UTF-16 unit one cell: no tab, no surrogate pair, no wide character) is
// walked by arithmetic: a row's cells are its columns. Other lines are walked code point by code
// point from the start of a row. Columns are UTF-16 indexes into the line's
// text. The row starts of a line are found once, when it is added (row_index.h).

#include <QStringView>
#include <QtGlobal>
#include <vector>

#include "textview/cell_widths.h"

namespace textview::wrap {

// Where a Qt text view puts its tab stops by default, in device-independent pixels.
inline constexpr qreal kTabStopPixels = 80;

// The cells of a row, the distance of its tab stops in cells, and the cells of each code point
// (not owned; by East Asian Width when none is given).
struct Grid {
  int columns = 1;
  qreal tabStop = 8;
  const CellWidths* cells = nullptr;
  bool operator==(const Grid&) const = default;
};

// The grid with at least one column, a tab stop of some cells (eight when none is given) and a
// table of cells: every walk over a line lays it on such a grid.
Grid Fitted(const Grid& grid);
const CellWidths& CellsOf(const Grid& grid);

// True when the line wraps by arithmetic alone (see above).
bool IsPlain(QStringView line, const Grid& grid);

struct RowSpan {
  qsizetype start = 0;  // first column of the row
  qsizetype end = 0;    // column after its last character
  bool operator==(const RowSpan&) const = default;
};

// Walks the code points of a line from the start of a row, giving each its cells in the row.
// It does not wrap: blanks a row ends with take the cells after its last.
class CellWalker {
 public:
  CellWalker(QStringView line, const Grid& grid, qsizetype rowStart = 0);
  bool atEnd() const { return column_ >= line_.size(); }
  qsizetype column() const { return column_; }  // UTF-16 index of the current code point
  int units() const { return units_; }          // its UTF-16 units (2 for a surrogate pair)
  char32_t codePoint() const { return code_; }
  qreal cell() const { return cell_; }    // its first cell in its row
  qreal width() const { return width_; }  // its cells
  void next();

 private:
  void measure(qreal cellAfterPrevious);

  QStringView line_;
  Grid grid_;
  qsizetype column_;
  int units_ = 0;
  char32_t code_ = 0;
  qreal cell_ = 0;
  qreal width_ = 0;
};

// Where the rows of the line after its first begin, in order; none for a line of one row.
std::vector<qsizetype> RowStarts(QStringView line, bool plain, const Grid& grid);

struct RowOfColumn {
  qsizetype row = 0;
  RowSpan span;
};

// The cell in its row of a caret at `column`, a column inside `span`; at most `columns`, where
// the blanks a row ends with reach past its last cell.
qreal CellOf(QStringView line, bool plain, const Grid& grid, RowSpan span, qsizetype column);
// The caret column in `span` nearest to the cell edge at `cell` (a fraction of cells).
qsizetype ColumnNearest(QStringView line, bool plain, const Grid& grid, RowSpan span, qreal cell);

}  // namespace textview::wrap
