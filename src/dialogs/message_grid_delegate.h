#pragma once
// Draws and edits the cells of a message grid. The editor follows the cell's column: a pick
// list (QComboBox, editable unless LimitToList) when the column has items and its button style
// is automatic, a line edit with a "…" button for the ellipsis style, a plain line edit
// otherwise. A commit writes the cell only when the user modified the text; number and date
// columns coerce the text first, and a text that does not convert beeps and is dropped.
// The grid hooks in for the keys it handles itself and for the edit masks.

#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

namespace dialogs {

class MessageGridModel;

class MessageGridDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  MessageGridDelegate(MessageGridModel& model, QObject* parent);

  // Called for every key pressed in an editor; returns true when the grid took the key.
  std::function<bool(QWidget* editor, QKeyEvent* event)> editorKeyHook;
  // The edit mask of a cell; the column's EditMask when unset.
  std::function<QString(const QModelIndex& index, const QString& columnMask)> editMaskHook;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

  // The editor made last; null once it is gone.
  QWidget* lastEditor() const { return lastEditor_; }

 signals:
  void committed(const QModelIndex& index);
  void editButtonClicked();
  void cellDrawn(const QModelIndex& index, const QRect& rect, QStyle::State state) const;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  MessageGridModel& model_;
  mutable QPointer<QWidget> lastEditor_;
};

}  // namespace dialogs
