#pragma once
// The rows every line of the log takes at the view's column count, and the row each line
// begins at, so that a scroll row maps to (line, row in line) by a binary search. Appending a
// line costs O(its length) once (the plain test and, for other lines, a walk); a change of the
// column count recounts every line, O(1) for plain lines.

#include <QStringView>
#include <vector>

namespace app {

class LogDocument;

class LogRowIndex {
 public:
  struct RowPlace {
    int line = 0;
    int row = 0;  // row within the line
  };

  int columns() const { return columns_; }
  // Recounts every line of the document for `columns` cells a row.
  void rebuild(const LogDocument& document, int columns);
  // Lines [first, end) of the index give way to the document's lines [first, first + count).
  void replaceFrom(const LogDocument& document, int first, int removed, int added);

  int lineCount() const { return static_cast<int>(lines_.size()); }
  bool isPlain(int line) const { return lines_[line].plain; }
  int rowsOf(int line) const { return lines_[line].rows; }
  int firstRowOf(int line) const { return line == 0 ? 0 : rowEnds_[line - 1]; }
  int totalRows() const { return rowEnds_.empty() ? 0 : rowEnds_.back(); }
  // The line and row in line of a row of the whole log (clamped to the rows there are).
  RowPlace placeOf(int row) const;

 private:
  struct Line {
    int rows;
    bool plain;
  };
  Line measure(QStringView text) const;
  void recountFrom(int line);

  int columns_ = 1;
  std::vector<Line> lines_;
  std::vector<int> rowEnds_;  // rows of lines [0, i], a running sum
};

}  // namespace app
