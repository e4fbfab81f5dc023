#include "app/log_view_rows.h"

#include <algorithm>

#include "app/log_document.h"
#include "app/log_view_wrap.h"

namespace app {

LogRowIndex::Line LogRowIndex::measure(QStringView text) const {
  const bool plain = logwrap::IsPlain(text);
  return {logwrap::RowCount(text, plain, columns_), plain};
}

void LogRowIndex::rebuild(const LogDocument& document, int columns) {
  columns_ = std::max(1, columns);
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
  lines_.insert(lines_.begin() + first, fresh.begin(), fresh.end());
  recountFrom(first);
}

void LogRowIndex::recountFrom(int line) {
  rowEnds_.resize(lines_.size());
  int rows = firstRowOf(line);
  for (size_t i = line; i < lines_.size(); ++i) {
    rows += lines_[i].rows;
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

}  // namespace app
