#include "textview/row_index.h"

#include <algorithm>
#include <iterator>

#include "textview/text_document.h"

namespace textview {

RowIndex::Line RowIndex::measure(QStringView text) const {
  const bool plain = wrap::IsPlain(text, grid_);
  return {plain, text.size(), wrap::RowStarts(text, plain, grid_)};
}

void RowIndex::rebuild(const TextDocument& document, const wrap::Grid& grid) {
  grid_ = wrap::Fitted(grid);
  lines_.clear();
  lines_.reserve(document.lineCount());
  for (int line = 0; line < document.lineCount(); ++line) {
    lines_.push_back(measure(document.lineText(line)));
  }
  recountFrom(0);
}

void RowIndex::replaceFrom(const TextDocument& document, int first, int removed, int added) {
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

void RowIndex::recountFrom(int line) {
  rowEnds_.resize(lines_.size());
  qsizetype rows = firstRowOf(line);
  for (size_t i = line; i < lines_.size(); ++i) {
    rows += rowsOf(static_cast<int>(i));
    rowEnds_[i] = rows;
  }
}

RowIndex::RowPlace RowIndex::placeOf(qsizetype row) const {
  if (lines_.empty()) return {};
  row = std::clamp<qsizetype>(row, 0, totalRows() - 1);
  const int line =
      static_cast<int>(std::upper_bound(rowEnds_.begin(), rowEnds_.end(), row) - rowEnds_.begin());
  return {line, row - firstRowOf(line)};
}

wrap::RowSpan RowIndex::span(int line, qsizetype row) const {
  const Line& l = lines_[line];
  const auto rowStarts = static_cast<qsizetype>(l.starts.size());
  row = std::clamp<qsizetype>(row, 0, rowStarts);
  return {row == 0 ? 0 : l.starts[row - 1], row < rowStarts ? l.starts[row] : l.length};
}

wrap::RowOfColumn RowIndex::rowShowing(int line, qsizetype column, bool atRowEnd) const {
  const std::vector<qsizetype>& starts = lines_[line].starts;
  // The rows that begin at or before the column, less the one it ends when asked for.
  qsizetype row = std::upper_bound(starts.begin(), starts.end(), column) - starts.begin();
  if (row > 0 && starts[row - 1] == column && atRowEnd) --row;
  return {row, span(line, row)};
}

}  // namespace textview
