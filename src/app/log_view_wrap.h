#pragma once
// How the log view wraps a line into rows of monospaced cells, by arithmetic on the text alone.
// Every code point takes one cell except wide East Asian characters (East Asian Width W or F),
// which take two, and the tab, which reaches the next stop of eight cells in its row but never
// past the row's end. Control characters take one cell (the view draws C0 controls as their
// control pictures); combining marks and other zero-width characters take one cell too, so the
// caret always lands on a cell edge.
// A row holds `columns` cells. A wide character that does not fit in what is left of a row
// starts the next row, as in a terminal, so such a row ends one cell short.
// A plain line (every UTF-16 unit one narrow cell: no tab, no surrogate pair, no wide
// character) wraps by arithmetic alone: row r holds columns [r * columns, (r + 1) * columns) and
// the line takes max(1, ceil(length / columns)) rows. Other lines are walked code point by code
// point from the start of a row. Columns are UTF-16 indexes into the line's text.

#include <QStringView>

namespace app::logwrap {

inline constexpr int kTabStop = 8;

bool IsWide(char32_t c);
// True when the line wraps by arithmetic alone (see above).
bool IsPlain(QStringView line);

struct RowSpan {
  int start = 0;  // first column of the row
  int end = 0;    // column after its last character
  bool operator==(const RowSpan&) const = default;
};

// Walks the code points of a line from the start of a row, giving each its cells in the row.
class CellWalker {
 public:
  CellWalker(QStringView line, int columns, int rowStart = 0);
  bool atEnd() const { return column_ >= line_.size(); }
  int column() const { return column_; }  // UTF-16 index of the current code point
  int units() const { return units_; }    // its UTF-16 units (2 for a surrogate pair)
  char32_t codePoint() const { return code_; }
  int cell() const { return cell_; }             // its first cell in its row
  int width() const { return width_; }           // its cells
  bool startsRow() const { return startsRow_; }  // the walk wrapped before it
  void next();

 private:
  void measure(int cellAfterPrevious);

  QStringView line_;
  int columns_;
  int column_;
  int units_ = 0;
  char32_t code_ = 0;
  int cell_ = 0;
  int width_ = 0;
  bool startsRow_ = false;
};

// Rows the line takes; at least one.
int RowCount(QStringView line, bool plain, int columns);
// The row that begins at `rowStart` (a row start of the line).
RowSpan RowFrom(QStringView line, bool plain, int columns, int rowStart);
// Row `row` of the line (clamped to its last row).
RowSpan RowAt(QStringView line, bool plain, int columns, int row);

struct RowOfColumn {
  int row = 0;
  RowSpan span;
};
// The row showing a caret at `column`: the row it starts when it is a row boundary, or the row
// it ends when `atRowEnd` is set (and always at the end of the line).
RowOfColumn RowShowing(QStringView line, bool plain, int columns, int column, bool atRowEnd);

// The cell in its row of a caret at `column`, a column inside `span`.
int CellOf(QStringView line, bool plain, int columns, RowSpan span, int column);
// The caret column in `span` nearest to the cell edge at `cell` (a fraction of cells).
int ColumnNearest(QStringView line, bool plain, int columns, RowSpan span, qreal cell);

}  // namespace app::logwrap
