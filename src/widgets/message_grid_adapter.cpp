#include "widgets/message_grid_adapter.h"

#include <QFontMetrics>

#include "widgets/message_grid.h"

namespace widgets {

int GridAdapter::RowCount() const { return grid_.RowCount(); }
void GridAdapter::setRowCount(int rows) { grid_.setRowCount(rows); }
int GridAdapter::ColCount() const { return grid_.ColCount(); }
QString GridAdapter::Cells(int col, int row) const { return grid_.Cells(col, row); }
void GridAdapter::setCells(int col, int row, const QString& text) {
  grid_.setCells(col, row, text);
}
void GridAdapter::setRowFields(int row, const QStringList& fields) {
  grid_.setRowTexts(row, fields);
}
QString GridAdapter::ColumnTitle(int col) const { return grid_.Columns().Items(col).Title.Caption; }
void GridAdapter::setColWidths(int col, int width) { grid_.setColWidths(col, width); }
int GridAdapter::TextWidth(const QString& text) const {
  return grid_.fontMetrics().horizontalAdvance(text);
}

}  // namespace widgets
