#include "widgets/message_grid_model.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>

#include "widgets/message_grid_values.h"

namespace widgets {

MessageGridModel::MessageGridModel(QObject* parent) : QAbstractTableModel(parent), rows_(1) {
  addColumn();
}

void MessageGridModel::setGridRowCount(int rows) {
  rows = std::max(rows, 1);
  const int old = gridRowCount();
  if (rows > old) {
    beginInsertRows({}, old - 1, rows - 2);
    rows_.resize(rows);
    endInsertRows();
  } else if (rows < old) {
    beginRemoveRows({}, rows - 1, old - 2);
    rows_.resize(rows);
    endRemoveRows();
  }
}

void MessageGridModel::setGridColCount(int cols) {
  cols = std::max(cols, 1);
  while (gridColCount() < cols) addColumn();
  while (gridColCount() > cols) removeColumnAt(gridColCount() - 1);
}

QString MessageGridModel::cell(int col, int row) const {
  if (row < 0 || row >= gridRowCount() || col < 0 || col >= gridColCount()) return {};
  return rows_[row].value(col);
}

void MessageGridModel::setCell(int col, int row, const QString& text) {
  if (row < 0 || row >= gridRowCount() || col < 0 || col >= gridColCount()) return;
  QStringList& cells = rows_[row];
  if (cells.value(col) == text) return;
  while (cells.size() <= col) cells.append(QString());
  cells[col] = text;
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col, col);
  } else {
    const QModelIndex changed = indexOf(col, row);
    emit dataChanged(changed, changed);
  }
}

void MessageGridModel::insertRowAfter(int after) {
  if (after < 0 || after >= gridRowCount()) return;
  beginInsertRows({}, after, after);
  rows_.insert(rows_.begin() + after + 1, QStringList());
  endInsertRows();
}

void MessageGridModel::removeGridRow(int row) {
  if (row < 1 || row >= gridRowCount()) return;
  beginRemoveRows({}, row - 1, row - 1);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void MessageGridModel::clearGridRow(int row) {
  if (row < 0 || row >= gridRowCount()) return;
  rows_[row].clear();
  emitRowChanged(row);
}

void MessageGridModel::setColumn(int col, const TColumn& column) {
  if (col < 0 || col >= gridColCount()) return;
  columns_[col] = column;
  emit headerDataChanged(Qt::Horizontal, col, col);
  if (rowCount() > 0) emit dataChanged(index(0, col), index(rowCount() - 1, col));
}

void MessageGridModel::addColumn() {
  const int col = gridColCount();
  if (col > 0) beginInsertColumns({}, col, col);
  columns_.emplace_back(nextInternalCol_++);
  if (col > 0) endInsertColumns();
}

void MessageGridModel::removeColumnAt(int col) {
  if (col < 0 || col >= gridColCount() || gridColCount() == 1) return;
  beginRemoveColumns({}, col, col);
  columns_.erase(columns_.begin() + col);
  for (QStringList& cells : rows_) {
    if (col < cells.size()) cells.removeAt(col);
  }
  endRemoveColumns();
}

void MessageGridModel::setEditing(bool editing) {
  editing_ = editing;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool MessageGridModel::columnReadOnly(int col) const {
  return column(col).ReadOnly.value_or(!editing_);
}

int MessageGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : gridRowCount() - 1;
}

int MessageGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : gridColCount();
}

QVariant MessageGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int col = index.column();
  const int row = index.row() + 1;
  const TColumn& c = column(col);
  switch (role) {
    case Qt::DisplayRole:
      return DisplayCellText(c, cell(col, row));
    case Qt::EditRole:
      return cell(col, row);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(c.Alignment | Qt::AlignVCenter);
    case Qt::FontRole:
      return c.Font ? QVariant(*c.Font) : QVariant();
    case Qt::BackgroundRole:
      if (col == 0) return QApplication::palette().brush(QPalette::Button);
      return c.Color ? QVariant(QBrush(*c.Color)) : QVariant();
    default:
      return {};
  }
}

bool MessageGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  setCell(index.column(), index.row() + 1, value.toString());
  return true;
}

Qt::ItemFlags MessageGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // A read-only column still gets its (read-only) editor, whose button stays usable.
  if (index.column() > 0 && editing_) f |= Qt::ItemIsEditable;
  return f;
}

QVariant MessageGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= gridColCount()) return {};
  const TColumnTitle& title = column(section).Title;
  switch (role) {
    case Qt::DisplayRole:
      return title.Caption.isEmpty() ? cell(section, 0) : title.Caption;
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(title.Alignment | Qt::AlignVCenter);
    case Qt::FontRole:
      return title.Font ? QVariant(*title.Font) : QVariant();
    default:
      return {};
  }
}

void MessageGridModel::emitRowChanged(int row) {
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, 0, gridColCount() - 1);
  } else {
    emit dataChanged(indexOf(0, row), indexOf(gridColCount() - 1, row));
  }
}

}  // namespace widgets
