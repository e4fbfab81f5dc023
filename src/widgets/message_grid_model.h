#pragma once
// The cells and columns of a message grid. Grid row 0 is the title row: it is shown by the
// horizontal header, so model row m is grid row m + 1; grid column c is model column c.
// Column 0 is the fixed column: never edited, painted in the fixed colour.
// There is always a title row and at least one column; the column list always has one item
// per column. Rows hold their cells lazily, so empty rows cost little.

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "widgets/message_grid_column.h"

namespace widgets {

class MessageGridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit MessageGridModel(QObject* parent = nullptr);

  int gridRowCount() const { return static_cast<int>(rows_.size()); }
  void setGridRowCount(int rows);
  int gridColCount() const { return static_cast<int>(columns_.size()); }
  void setGridColCount(int cols);

  QString cell(int col, int row) const;
  void setCell(int col, int row, const QString& text);

  // Row `after` + 1 becomes a new empty row; the rows below move down.
  void insertRowAfter(int after);
  void removeGridRow(int row);
  void clearGridRow(int row);

  const TColumn& column(int col) const { return columns_.at(col); }
  void setColumn(int col, const TColumn& column);
  void addColumn();
  void removeColumnAt(int col);

  // Cells are editable only while the grid edits; it also decides the default read-only.
  void setEditing(bool editing);
  bool columnReadOnly(int col) const;

  QModelIndex indexOf(int col, int row) const { return index(row - 1, col); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void emitRowChanged(int row);

  std::vector<QStringList> rows_;
  std::vector<TColumn> columns_;
  int nextInternalCol_ = 0;
  bool editing_ = true;
};

}  // namespace widgets
