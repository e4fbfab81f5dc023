#include "app/log_view_rows.h"

#include <algorithm>
#include <iterator>

#include "app/log_document.h"

namespace app {

LogRowIndex::Line LogRowIndex::measure(QStringView text) const {
  const bool plain = logwrap::IsPlain(text);
  return {plain, static_cast<int>(text.size()), logwrap::RowStarts(text, plain, grid_)};
}

void LogRowIndex::rebuild(const LogDocument& document, const logwrap::Grid& grid) {
  grid_ = logwrap::Fitted(grid);
  lines_.clear();
  lines_.reserve(document.lineCount());
  for (int line = 0; line < document.lineCount(); ++line) {
    lines_.push_back(measure(document.lineText(line)));
  }
  recountFrom(0);
}

void LogRowIndex::replaceFrom(const LogDocument& document, int first, int removed, int added) {
  const auto at = lines_.begin() + first;
  lines_.erase(at, at + removed);
  std::vector<Line> fresh;
  fresh.reserve(added);
  for (int line = first; line < first + added; ++line) {
    fresh.push_back(measure(document.lineText(line)));
  }
  lines_.insert(lines_.begin() + first, std::make_move_iterator(fresh.begin()),
                std::make_move_iterator(fresh.end()));
  recountFrom(first);
}

void LogRowIndex::recountFrom(int line) {
  rowEnds_.resize(lines_.size());
  int rows = firstRowOf(line);
  for (size_t i = line; i < lines_.size(); ++i) {
    rows += rowsOf(static_cast<int>(i));
    rowEnds_[i] = rows;
  }
}

LogRowIndex::RowPlace LogRowIndex::placeOf(int row) const {
  if (lines_.empty()) return {};
  row = std::clamp(row, 0, totalRows() - 1);
  const int line =
      static_cast<int>(std::upper_bound(rowEnds_.begin(), rowEnds_.end(), row) - rowEnds_.begin());
  return {line, row - firstRowOf(line)};
}

logwrap::RowSpan LogRowIndex::span(int line, int row) const {
  const Line& l = lines_[line];
  row = std::clamp(row, 0, static_cast<int>(l.starts.size()));
  return {row == 0 ? 0 : l.starts[row - 1],
          row < static_cast<int>(l.starts.size()) ? l.starts[row] : l.length};
}

logwrap::RowOfColumn LogRowIndex::rowShowing(int line, int column, bool atRowEnd) const {
  const std::vector<int>& starts = lines_[line].starts;
  // The rows that begin at or before the column, less the one it ends when asked for.
  int row = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), column) - starts.begin());
  if (row > 0 && starts[row - 1] == column && atRowEnd) --row;
  return {row, span(line, row)};
}

}  // namespace app
