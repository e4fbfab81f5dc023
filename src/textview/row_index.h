#pragma once
// The rows every line of the document takes at the view's column count, where each of them begins,
// and the row each line begins at, so that a scroll row maps to (line, row in line) by a binary
// search. Appending a line costs O(its length) once (the plain test and the walk that finds
// its row starts); a change of the column count walks every line again.

#include <QStringView>
#include <vector>

#include "textview/wrap.h"

namespace textview {

class TextDocument;

class RowIndex {
 public:
  struct RowPlace {
    int line = 0;
    qsizetype row = 0;  // row within the line
  };

  int columns() const { return grid_.columns; }
  const wrap::Grid& grid() const { return grid_; }
  // Recounts every line of the document for rows on `grid`.
  void rebuild(const TextDocument& document, const wrap::Grid& grid);
  // Lines [first, end) of the index give way to the document's lines [first, first + count).
  void replaceFrom(const TextDocument& document, int first, int removed, int added);

  int lineCount() const { return static_cast<int>(lines_.size()); }
  bool isPlain(int line) const { return lines_[line].plain; }
  qsizetype rowsOf(int line) const {
    return static_cast<qsizetype>(lines_[line].starts.size()) + 1;
  }
  qsizetype firstRowOf(int line) const { return line == 0 ? 0 : rowEnds_[line - 1]; }
  qsizetype totalRows() const { return rowEnds_.empty() ? 0 : rowEnds_.back(); }
  // The line and row in line of a row of the whole text (clamped to the rows there are).
  RowPlace placeOf(qsizetype row) const;
  // Row `row` of the line (clamped to its rows).
  wrap::RowSpan span(int line, qsizetype row) const;
  // The row of the line showing a caret at `column`: the row it starts when it is a row
  // boundary, or the row it ends when `atRowEnd` is set (and always at the end of the line).
  wrap::RowOfColumn rowShowing(int line, qsizetype column, bool atRowEnd) const;

 private:
  // One a line of the log, so its size counts: the flag and the length share eight bytes, as the
  // flag and an int length did.
  struct Line {
    bool plain : 1;
    qsizetype length : 63;          // UTF-16 units
    std::vector<qsizetype> starts;  // where its rows after the first begin
  };
  static_assert(sizeof(Line) <= 32);
  Line measure(QStringView text) const;
  void recountFrom(int line);

  wrap::Grid grid_;
  std::vector<Line> lines_;
  std::vector<qsizetype> rowEnds_;  // rows of lines [0, i], a running sum
};

}  // namespace textview
