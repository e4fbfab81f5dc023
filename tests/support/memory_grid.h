#pragma once
// A message grid held in memory, with the widget grid's rules: cells survive a change of
// RowCount, new rows are empty, every character is 7 pixels wide. Cells are kept sparse, so a
// huge RowCount costs nothing. For the file-format tests and fuzz targets, which need no widgets.

#include <QString>
#include <QStringList>
#include <map>

#include "store/grid_access.h"

namespace testing_support {

class MemoryGrid final : public store::GridAccess {
 public:
  explicit MemoryGrid(int cols = 3, int rows = 2) : cols_(cols), rows_(rows) {}

  int RowCount() const override { return rows_; }
  void setRowCount(int rows) override {
    rows_ = rows;
    std::erase_if(cells_, [rows](const auto& cell) { return cell.first.second >= rows; });
  }
  int ColCount() const override { return cols_; }
  QString Cells(int col, int row) const override {
    const auto it = cells_.find({col, row});
    return it == cells_.end() ? QString() : it->second;
  }
  void setCells(int col, int row, const QString& text) override { cells_[{col, row}] = text; }
  void setRowFields(int row, const QStringList& fields) override {
    for (int c = 0; c < cols_ && c < fields.size(); ++c) setCells(c, row, fields[c]);
  }
  QString ColumnTitle(int col) const override { return titles.value(col); }
  void setColWidths(int col, int width) override { widths[col] = width; }
  int TextWidth(const QString& text) const override { return 7 * text.size(); }

  void setRow(int row, const QStringList& cells) { setRowFields(row, cells); }
  QStringList row(int r) const {
    QStringList out;
    for (int c = 0; c < cols_; ++c) out.append(Cells(c, r));
    return out;
  }

  QStringList titles;
  std::map<int, int> widths;

 private:
  int cols_;
  int rows_;
  std::map<std::pair<int, int>, QString> cells_;
};

}  // namespace testing_support
