#include "widgets/message_grid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <utility>

#include "widgets/message_grid_delegate.h"
#include "widgets/message_grid_model.h"

namespace widgets {
namespace {

constexpr int kDefaultRowHeight = 20;
constexpr int kDefaultColWidth = 64;
// A click on the current cell opens its editor at once (mouseReleaseEvent): Qt's
// SelectedClicked would wait a double-click interval first and drop every key typed meanwhile.
constexpr auto kEditTriggers = QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;

bool isEnter(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

// Every move of the current cell, by key, mouse or call, passes here: a move the grid's owner
// refuses does not happen.
class GridSelectionModel final : public QItemSelectionModel {
 public:
  GridSelectionModel(QAbstractItemModel* model, std::function<bool(const QModelIndex&)> mayMove,
                     QObject* parent)
      : QItemSelectionModel(model, parent), mayMove_(std::move(mayMove)) {}

  void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override {
    if (index.isValid() && index != currentIndex() && !mayMove_(index)) return;
    QItemSelectionModel::setCurrentIndex(index, command);
  }

 private:
  std::function<bool(const QModelIndex&)> mayMove_;
};

}  // namespace

int TDataGridColumns::Count() const { return model_.gridColCount(); }
const TColumn& TDataGridColumns::Items(int col) const { return model_.column(col); }
void TDataGridColumns::setItems(int col, const TColumn& column) { model_.setColumn(col, column); }
void TDataGridColumns::Add() { model_.addColumn(); }
void TDataGridColumns::Delete(int col) { model_.removeColumnAt(col); }

TDataGrid1::TDataGrid1(QWidget* parent)
    : QTableView(parent),
      model_(new MessageGridModel(this)),
      delegate_(new MessageGridDelegate(*model_, this)),
      columns_(*model_) {
  setModel(model_);
  QItemSelectionModel* plainSelection = selectionModel();
  setSelectionModel(new GridSelectionModel(
      model_, [this](const QModelIndex& index) { return mayBecomeCurrent(index); }, this));
  delete plainSelection;
  setItemDelegate(delegate_);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setDefaultSectionSize(kDefaultColWidth);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(kEditTriggers);
  setTabKeyNavigation(true);

  connect(delegate_, &MessageGridDelegate::committed, this,
          [this](const QModelIndex& index) { emit UserChanged(index.column(), index.row() + 1); });
  connect(delegate_, &MessageGridDelegate::cellDrawn, this,
          [this](const QModelIndex& index, const QRect& rect, QStyle::State state) {
            emit DrawCell(index.column(), index.row() + 1, rect, state);
          });
  connect(delegate_, &MessageGridDelegate::editButtonClicked, this, &TDataGrid1::EditButtonClick);
  delegate_->editorKeyHook = [this](QWidget* editor, QKeyEvent* event) {
    return takeEditorKey(editor, event);
  };
  delegate_->editMaskHook = [this](const QModelIndex& index, const QString& columnMask) {
    QString mask = columnMask;
    if (OnGetEditMask) OnGetEditMask(index.column(), index.row() + 1, mask);
    return mask;
  };
}

TDataGrid1::~TDataGrid1() = default;

int TDataGrid1::RowCount() const { return model_->gridRowCount(); }

void TDataGrid1::setRowCount(int rows) {
  model_->setGridRowCount(rows);
  ensureCurrentCell();
}

int TDataGrid1::ColCount() const { return model_->gridColCount(); }
void TDataGrid1::setColCount(int cols) { model_->setGridColCount(cols); }
QString TDataGrid1::Cells(int col, int row) const { return model_->cell(col, row); }
void TDataGrid1::setCells(int col, int row, const QString& text) {
  model_->setCell(col, row, text);
}

void TDataGrid1::setRowTexts(int row, const QStringList& texts) {
  for (int c = 0; c < ColCount() && c < texts.size(); ++c) setCells(c, row, texts[c]);
}

void TDataGrid1::setColTexts(int col, const QStringList& texts) {
  for (int r = 0; r < RowCount() && r < texts.size(); ++r) setCells(col, r, texts[r]);
}

int TDataGrid1::ColWidths(int col) const { return columnWidth(col); }
void TDataGrid1::setColWidths(int col, int width) { setColumnWidth(col, width); }

int TDataGrid1::Row() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}

void TDataGrid1::setRow(int row) { moveCurrent(Col(), row); }

int TDataGrid1::Col() const {
  const QModelIndex current = currentIndex();
  if (current.isValid()) return current.column();
  return ColCount() > 1 ? 1 : 0;
}

void TDataGrid1::setCol(int col) { moveCurrent(col, Row()); }

void TDataGrid1::setColumnTitle(int col, const QString& caption) {
  if (col < 0 || col >= ColCount()) return;
  TColumn column = columns_.Items(col);
  column.Title.Caption = caption;
  columns_.setItems(col, column);
}

void TDataGrid1::setColumnAlignment(int col, Qt::Alignment cells, Qt::Alignment title) {
  if (col < 0 || col >= ColCount()) return;
  TColumn column = columns_.Items(col);
  column.Alignment = cells;
  column.Title.Alignment = title;
  columns_.setItems(col, column);
}

void TDataGrid1::setWholeRowSelect(bool on) {
  setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
  setSelectionMode(on ? QAbstractItemView::SingleSelection
                      : QAbstractItemView::ContiguousSelection);
  setEditTriggers(on ? QAbstractItemView::NoEditTriggers : kEditTriggers);
  model_->setEditing(!on);
}

void TDataGrid1::setDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height);
}

void TDataGrid1::setRowCountMin(int rows) {
  rowCountMin_ = std::max(rows, 0);
  if (rowCountMin_ > RowCount()) setRowCount(rowCountMin_);
}

void TDataGrid1::setBGImage(const QPixmap& picture) {
  bgImage_ = picture;
  delegate_->setBackgroundPicture(picture);
  QPalette colours = palette();
  if (!picture.isNull()) colours.setBrush(QPalette::Base, QBrush(picture));
  viewport()->setPalette(colours);
  viewport()->update();
}

void TDataGrid1::AppendRow() {
  emit BeforeInsert();
  setRowCount(RowCount() + 1);
  allowsSelecting(Col(), RowCount() - 1);  // the owner hears of the new row; nothing moves
  emit AfterInsert();
}

void TDataGrid1::InsertRow(int after) {
  if (after < 0 || after >= RowCount()) return;
  emit BeforeInsert();
  model_->insertRowAfter(after);
  ensureCurrentCell();
  emit AfterInsert();
}

void TDataGrid1::DeleteRow(int row) {
  if (row < 1 || row >= RowCount()) return;
  emit BeforeDelete();
  CommitEdit();
  const bool lastDataRow = RowCount() <= 2;
  const bool keepsMinimum = rowCountMin_ != 0 && rowCountMin_ >= RowCount();
  if (lastDataRow || keepsMinimum) {
    model_->clearGridRow(row);
  } else {
    model_->removeGridRow(row);
  }
  ensureCurrentCell();
  emit AfterDelete();
}

void TDataGrid1::CommitEdit() {
  QWidget* editor = openEditor();
  if (!editor) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool TDataGrid1::event(QEvent* event) {
  // Tab never reaches keyPressEvent: the view spends it on moving the cursor first.
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() == Qt::Key_Tab) RunRowKey(key);
  }
  return QTableView::event(event);
}

void TDataGrid1::keyPressEvent(QKeyEvent* event) {
  // Ctrl+Insert and Ctrl+Delete end here: the view would take their text as typing and open
  // the cell editor with it.
  if (RunRowKey(*event) && event->key() != Qt::Key_Down) return;
  const QScopedValueRollback granted(grantedCurrent_);  // a move the key did not make lapses
  QTableView::keyPressEvent(event);
}

// Keyboard moves are asked about here, where a refusal can still keep both the cursor and the
// selection where they are; the move that follows is not asked about a second time.
QModelIndex TDataGrid1::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex target = outsideFixedColumn(QTableView::moveCursor(action, modifiers));
  if (!target.isValid() || target == currentIndex()) return target;
  if (!mayBecomeCurrent(target)) return currentIndex();
  grantedCurrent_ = target;
  return target;
}

void TDataGrid1::mousePressEvent(QMouseEvent* event) {
  // A refused cell gets neither the cursor nor the selection, so the press ends here. An allowed
  // one is not asked about a second time when the view moves the cursor there.
  const QModelIndex pressed = indexAt(event->position().toPoint());
  const QModelIndex target = outsideFixedColumn(pressed);
  const bool onCurrent = target.isValid() && target == currentIndex();
  pressedCurrent_ = onCurrent && event->button() == Qt::LeftButton ? target : QModelIndex();
  if (target.isValid() && !onCurrent && !mayBecomeCurrent(target)) return;
  const QScopedValueRollback granted(grantedCurrent_, QPersistentModelIndex(target));
  if (target != pressed) {
    setCurrentIndex(target);  // a press on a row number goes to the row's first cell
    return;
  }
  QTableView::mousePressEvent(event);
}

void TDataGrid1::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  emit DblClick();
}

void TDataGrid1::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  const QModelIndex clicked = std::exchange(pressedCurrent_, QPersistentModelIndex());
  if (event->button() == Qt::LeftButton && clicked.isValid() &&
      indexAt(event->position().toPoint()) == clicked && editTriggers() != NoEditTriggers &&
      state() != EditingState) {
    edit(clicked, AllEditTriggers, nullptr);
  }
  if (event->button() != Qt::RightButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  if (QMenu* menu = columns_.Items(index.column()).PopupMenu)
    menu->popup(event->globalPosition().toPoint());
}

void TDataGrid1::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  // Scrolling moves pixels, which would break the tiling of the picture.
  if (!bgImage_.isNull()) viewport()->update();
}

void TDataGrid1::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  emit Resized();
}

// The row-number column is fixed: the cursor never rests in it while there is another column.
QModelIndex TDataGrid1::outsideFixedColumn(const QModelIndex& index) const {
  if (!index.isValid() || index.column() != 0 || ColCount() < 2) return index;
  return index.siblingAtColumn(1);
}

// The edit of the cell being left is committed first, so the owner hears of it before it
// hears of the next cell.
bool TDataGrid1::mayBecomeCurrent(const QModelIndex& index) {
  if (index == grantedCurrent_) {
    grantedCurrent_ = QPersistentModelIndex();
    return true;
  }
  if (QWidget* editor = openEditor()) commitData(editor);
  return allowsSelecting(index.column(), index.row() + 1);
}

bool TDataGrid1::allowsSelecting(int col, int row) {
  bool allow = true;
  emit SelectCell(col, row, allow);
  return allow;
}

bool TDataGrid1::RunRowKey(const QKeyEvent& event) {
  switch (rowKeyFor(event)) {
    case RowKey::Append:
      AppendRow();
      return true;
    case RowKey::Insert:
      InsertRow(Row());
      return true;
    case RowKey::Delete:
      DeleteRow(Row());
      return true;
    case RowKey::None:
      return false;
  }
  return false;
}

TDataGrid1::RowKey TDataGrid1::rowKeyFor(const QKeyEvent& event) const {
  const bool ctrl = event.modifiers() & Qt::ControlModifier;
  const bool onLastRow = Row() == RowCount() - 1;
  switch (event.key()) {
    case Qt::Key_Tab:
      return !(event.modifiers() & Qt::ShiftModifier) && onLastRow && Col() == ColCount() - 1 &&
                     options_.testFlag(dgoAppendRow)
                 ? RowKey::Append
                 : RowKey::None;
    case Qt::Key_Down:
      return onLastRow && options_.testFlag(dgoAppendRow) ? RowKey::Append : RowKey::None;
    case Qt::Key_Insert:
      return ctrl && options_.testFlag(dgoInsertRow) ? RowKey::Insert : RowKey::None;
    case Qt::Key_Delete:
      return ctrl && options_.testFlag(dgoDeleteRow) ? RowKey::Delete : RowKey::None;
    default:
      return RowKey::None;
  }
}

// A row key pressed in the cell editor runs once, in the grid: the edit is committed, the row
// operation runs and the grid's own key handling moves the cursor.
bool TDataGrid1::takeEditorKey(QWidget* editor, QKeyEvent* event) {
  if (rowKeyFor(*event) == RowKey::None) return false;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  if (event->key() == Qt::Key_Tab) {
    RunRowKey(*event);
    setCurrentIndex(moveCursor(QAbstractItemView::MoveNext, Qt::NoModifier));
  } else {
    keyPressEvent(event);
  }
  return true;
}

void TDataGrid1::ensureCurrentCell() {
  if (!currentIndex().isValid() && model_->rowCount() > 0) moveCurrent(Col(), 1);
}

void TDataGrid1::moveCurrent(int col, int row) {
  if (row < 1 || row >= RowCount() || col < 0 || col >= ColCount()) return;
  setCurrentIndex(model_->indexOf(col, row));
}

QWidget* TDataGrid1::openEditor() const {
  return state() == QAbstractItemView::EditingState ? delegate_->lastEditor() : nullptr;
}

void TPowerStringGrid::keyPressEvent(QKeyEvent* event) {
  if (isEnter(*event)) {
    const int col = Col();
    const int row = Row();
    if (col >= 1 && col <= ColCount() - 2) {
      setCol(col + 1);
    } else if (col == ColCount() - 1 && row < RowCount() - 1) {
      setCurrentIndex(model()->index(row, 1));
    }
  }
  TDataGrid1::keyPressEvent(event);
}

}  // namespace widgets
