#pragma once
// A message grid held in memory, with the widget grid's rules: cells survive a change of
// RowCount, new rows are empty, every character is 7 pixels wide. For the file-format tests and
// fuzz targets, which need no widgets.

#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "store/grid_access.h"

namespace testing_support {

class MemoryGrid final : public store::GridAccess {
 public:
  explicit MemoryGrid(int cols = 3, int rows = 2) : cols_(cols) { setRowCount(rows); }

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void setRowCount(int rows) override {
    rows_.resize(static_cast<std::size_t>(std::max(rows, 0)), QStringList(cols_));
  }
  int ColCount() const override { return cols_; }
  QString Cells(int col, int row) const override { return rows_.at(row).at(col); }
  void setCells(int col, int row, const QString& text) override { rows_.at(row)[col] = text; }
  void setRowFields(int row, const QStringList& fields) override {
    for (int c = 0; c < cols_ && c < fields.size(); ++c) setCells(c, row, fields[c]);
  }
  QString ColumnTitle(int) const override { return {}; }
  void setColWidths(int, int) override {}
  int TextWidth(const QString& text) const override { return 7 * static_cast<int>(text.size()); }

  const QStringList& row(int r) const { return rows_.at(r); }

 private:
  int cols_;
  std::vector<QStringList> rows_;
};

}  // namespace testing_support
