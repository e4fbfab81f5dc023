#pragma once
// Draws and edits the cells of a message grid. The editor follows the cell's column: a pick
// list (QComboBox, editable unless LimitToList) when the column has items and its button style
// is automatic, a line edit with a "…" button for the ellipsis style, a plain line edit
// otherwise; in a read-only column the line edit is read-only. What the user types or picks
// reaches the cell at once, so the cell's text is always what its editor shows. A commit acts
// only when the user modified the text: number and date columns coerce the text, and a text
// that does not convert beeps and puts the text the cell had before the edit back into the cell
// and the editor, as Escape does. Either way a modified commit is reported (committed).
// The grid hooks in for the keys it handles itself and for the edit masks. Over a background
// picture the normal cells show the picture instead of their colour or the selection fill.

#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

namespace widgets {

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

  // A null picture draws the cells in their colours again.
  void setBackgroundPicture(const QPixmap& picture);

  // The editor made last; null once it is gone.
  QWidget* lastEditor() const { return lastEditor_; }

 signals:
  void committed(const QModelIndex& index);
  void editButtonClicked();
  void cellDrawn(const QModelIndex& index, const QRect& rect, QStyle::State state) const;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  void paintOnPicture(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const;
  void writeToCell(QWidget* editor) const;
  void putBackTextBefore(QWidget* editor) const;

  MessageGridModel& model_;
  QPixmap picture_;
  QPixmap invertedPicture_;
  mutable QPointer<QWidget> lastEditor_;
};

}  // namespace widgets
