#pragma once
// The message grid: an editable text grid with a title row (row 0, shown as the column
// headers) and a fixed row-number column (column 0), on Qt's model/view classes.
// TDataGrid1 adds to the plain grid: the column list (one TColumn per column, always),
// row appending, insertion and deletion by call and by key (DataGridOptions), a minimum row
// count, and notifications: UserChanged when an edit is committed with a modified text,
// SelectCell before a cell becomes current (the owner may refuse the move), DrawCell after a
// cell is painted, DblClick. A click on the current cell of an editable grid opens its editor
// at once, so keys typed right after the click reach the cell.
// TPowerStringGrid adds Enter navigation: Enter moves right through columns 1 .. last and
// from the last column to column 1 of the next row.
// Rows and columns are counted as in the stored files: RowCount includes the title row.
// GUI thread only.

#include <QFlags>
#include <QPixmap>
#include <QTableView>
#include <functional>

#include "widgets/message_grid_column.h"

namespace widgets {

class MessageGridModel;
class MessageGridDelegate;
class TDataGrid1;

enum TDataGridOption { dgoAppendRow = 0x1, dgoInsertRow = 0x2, dgoDeleteRow = 0x4 };
Q_DECLARE_FLAGS(TDataGridOptions, TDataGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDataGridOptions)

// The grid's column list: adding an item adds a grid column, deleting one removes it.
class TDataGridColumns {
 public:
  explicit TDataGridColumns(MessageGridModel& model) : model_(model) {}
  int Count() const;
  const TColumn& Items(int col) const;
  // Replaces the column's properties; the grid repaints the column.
  void setItems(int col, const TColumn& column);
  void Add();
  void Delete(int col);

 private:
  MessageGridModel& model_;
};

class TDataGrid1 : public QTableView {
  Q_OBJECT

 public:
  explicit TDataGrid1(QWidget* parent = nullptr);
  ~TDataGrid1() override;

  int RowCount() const;
  void setRowCount(int rows);
  int ColCount() const;
  void setColCount(int cols);
  QString Cells(int col, int row) const;
  void setCells(int col, int row, const QString& text);
  // Cells from column 0 on, as many as both the list and the row have.
  void setRowTexts(int row, const QStringList& texts);
  void setColTexts(int col, const QStringList& texts);
  int ColWidths(int col) const;
  void setColWidths(int col, int width);

  // The current cell; rows count from 1 (the first data row). Row() is 0 when there is none.
  int Row() const;
  void setRow(int row);
  int Col() const;
  void setCol(int col);
  int SelectedIndex() const { return Col(); }
  void setSelectedIndex(int col) { setCol(col); }

  TDataGridColumns& Columns() { return columns_; }
  void setColumnTitle(int col, const QString& caption);
  void setColumnAlignment(int col, Qt::Alignment cells, Qt::Alignment title);

  // Whole-row selection without cell editing (the main window's list).
  void setWholeRowSelect(bool on);
  void setDefaultRowHeight(int height);

  TDataGridOptions DataGridOptions() const { return options_; }
  void setDataGridOptions(TDataGridOptions options) { options_ = options; }
  int RowCountMin() const { return rowCountMin_; }
  void setRowCountMin(int rows);
  QString Version() const { return QStringLiteral("3.0"); }
  void setVersion(const QString&) {}  // the version is fixed; written values are ignored

  // Tiled behind the normal cells; a null picture removes it.
  void setBGImage(const QPixmap& picture);
  const QPixmap& BGImage() const { return bgImage_; }

  // May change a cell's edit mask; it receives the column's EditMask first.
  std::function<void(int col, int row, QString& mask)> OnGetEditMask;

  void AppendRow();
  void InsertRow(int after);
  // The row is only emptied when it is the last data row or RowCountMin would be undercut.
  void DeleteRow(int row);
  // Commits a cell edit in progress, as leaving the cell would.
  void CommitEdit();

 signals:
  void BeforeInsert();
  void AfterInsert();
  void BeforeDelete();
  void AfterDelete();
  void UserChanged(int col, int row);
  // Asked before the cell becomes current; setting `allow` to false keeps the current cell.
  // Connect directly: the answer is read when the signal returns.
  void SelectCell(int col, int row, bool& allow);
  void DrawCell(int col, int row, const QRect& rect, QStyle::State state);
  void EditButtonClick();
  void DblClick();
  // The grid's own size changed: also when a page that was hidden is first laid out.
  void Resized();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;

  // Runs the row operation a key asks for; true when it was one of them.
  bool RunRowKey(const QKeyEvent& event);

 private:
  enum class RowKey { None, Append, Insert, Delete };
  RowKey rowKeyFor(const QKeyEvent& event) const;
  bool takeEditorKey(QWidget* editor, QKeyEvent* event);
  bool mayBecomeCurrent(const QModelIndex& index);
  QModelIndex outsideFixedColumn(const QModelIndex& index) const;
  bool allowsSelecting(int col, int row);
  void ensureCurrentCell();
  void moveCurrent(int col, int row);
  QWidget* openEditor() const;

  MessageGridModel* model_;
  MessageGridDelegate* delegate_;
  TDataGridColumns columns_;
  TDataGridOptions options_;
  int rowCountMin_ = 0;
  QPixmap bgImage_;
  // The cell a key or mouse press was already allowed to move to; used up by the move.
  QPersistentModelIndex grantedCurrent_;
  // The current cell a left button press landed on; a release on it opens its editor.
  QPersistentModelIndex pressedCurrent_;
};

class TPowerStringGrid : public TDataGrid1 {
  Q_OBJECT

 public:
  using TDataGrid1::TDataGrid1;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace widgets
