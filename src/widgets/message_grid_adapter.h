#pragma once
// Lets the message-list file code work on a TDataGrid1 through store's narrow grid interface.

#include "store/grid_access.h"

namespace widgets {

class TDataGrid1;

class GridAdapter final : public store::GridAccess {
 public:
  explicit GridAdapter(TDataGrid1& grid) : grid_(grid) {}

  int RowCount() const override;
  void setRowCount(int rows) override;
  int ColCount() const override;
  QString Cells(int col, int row) const override;
  void setCells(int col, int row, const QString& text) override;
  void setRowFields(int row, const QStringList& fields) override;
  QString ColumnTitle(int col) const override;
  void setColWidths(int col, int width) override;
  int TextWidth(const QString& text) const override;

 private:
  TDataGrid1& grid_;
};

}  // namespace widgets
