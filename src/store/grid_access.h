#pragma once
// The narrow view of a message grid that the message-list file code needs: cells addressed by
// (column, row) with row 0 the title row, the row and column counts, the column titles, column
// widths and text measurement in the grid's font. The widget grid implements it through an
// adapter; tests implement it in memory, so the file format is tested without widgets.

#include <QString>
#include <QStringList>

namespace store {

class GridAccess {
 public:
  virtual ~GridAccess() = default;

  virtual int RowCount() const = 0;
  // Rows that stay keep their cells; new rows are empty.
  virtual void setRowCount(int rows) = 0;
  virtual int ColCount() const = 0;

  virtual QString Cells(int col, int row) const = 0;
  virtual void setCells(int col, int row, const QString& text) = 0;
  // Assigns fields[i] to column i from column 0 on, while both a field and a column remain;
  // the row's other cells keep their text.
  virtual void setRowFields(int row, const QStringList& fields) = 0;

  // The caption of the column's title (a property of the column, not a cell).
  virtual QString ColumnTitle(int col) const = 0;
  virtual void setColWidths(int col, int width) = 0;
  // Width in pixels of the text drawn in the grid's current font.
  virtual int TextWidth(const QString& text) const = 0;
};

}  // namespace store
