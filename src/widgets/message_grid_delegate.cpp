#include "widgets/message_grid_delegate.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/message_grid_model.h"
#include "widgets/message_grid_pick_list.h"
#include "widgets/message_grid_values.h"

namespace widgets {
namespace {

// Set when the user picks an item; QLineEdit::isModified covers typing.
const char kPicked[] = "userPicked";
// The cell the editor edits, and its text when the editor was put on it (or last committed):
// edits reach the cell as the user types, so Escape and a failed conversion put this back.
const char kCell[] = "editedCell";
const char kTextBefore[] = "cellTextBefore";

QLineEdit* lineEditOf(QWidget* editor) {
  if (auto* combo = qobject_cast<QComboBox*>(editor)) return combo->lineEdit();
  return qobject_cast<QLineEdit*>(editor);
}

bool modifiedByUser(QWidget* editor) {
  const QLineEdit* edit = lineEditOf(editor);
  return editor->property(kPicked).toBool() || (edit && edit->isModified());
}

QString editorText(QWidget* editor) {
  if (auto* combo = qobject_cast<QComboBox*>(editor)) return combo->currentText();
  return static_cast<QLineEdit*>(editor)->text();
}

// The ellipsis editor is a line edit with the button as its one action.
QLineEdit* ellipsisEditor(QWidget* editor) {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  return edit && !edit->actions().isEmpty() ? edit : nullptr;
}

bool isLeftDoubleClick(const QEvent& event) {
  return event.type() == QEvent::MouseButtonDblClick &&
         static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton;
}

QIcon ellipsisIcon(const QFont& font) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setFont(font);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("…"));
  return QIcon(pixmap);
}

// Enter selects the whole text, or removes the selection when all of it is selected.
void toggleSelection(QLineEdit& edit) {
  if (edit.selectedText() == edit.text() && edit.hasSelectedText()) {
    edit.deselect();
  } else {
    edit.selectAll();
  }
}

// Shows `text` in the editor as not modified by the user.
void showText(QWidget* editor, const QString& text) {
  if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    const int item = combo->findText(text, Qt::MatchFixedString);
    if (combo->isEditable()) {
      combo->setEditText(text);
    } else if (item >= 0) {
      combo->setCurrentIndex(item);
    }
  } else {
    static_cast<QLineEdit*>(editor)->setText(text);
  }
  if (QLineEdit* edit = lineEditOf(editor)) edit->setModified(false);
  editor->setProperty(kPicked, false);
}

}  // namespace

MessageGridDelegate::MessageGridDelegate(MessageGridModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QWidget* MessageGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                           const QModelIndex& index) const {
  const TColumn& column = model_.column(index.column());
  const bool readOnly = model_.columnReadOnly(index.column());
  QWidget* editor = nullptr;
  if (column.ButtonStyle == TColumnButtonStyle::cbsAuto && !column.PickList.isEmpty() &&
      !readOnly) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(!column.LimitToList);
    combo->addItems(column.PickList);
    combo->setMaxVisibleItems(static_cast<int>(column.DropDownRows));
    combo->setInsertPolicy(QComboBox::NoInsert);
    auto markPicked = [this, combo] {
      combo->setProperty(kPicked, true);
      writeToCell(combo);
    };
    connect(combo, &QComboBox::activated, combo, markPicked);
    PickListBehaviour::Attach(*combo, markPicked);
    editor = combo;
  } else {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(readOnly);
    if (column.ButtonStyle == TColumnButtonStyle::cbsEllipsis) {
      QAction* button = edit->addAction(ellipsisIcon(edit->font()), QLineEdit::TrailingPosition);
      connect(button, &QAction::triggered, this, &MessageGridDelegate::editButtonClicked);
    }
    editor = edit;
  }
  if (QLineEdit* edit = lineEditOf(editor)) {
    if (column.MaxLength > 0) edit->setMaxLength(column.MaxLength);
    const QString mask = editMaskHook ? editMaskHook(index, column.EditMask) : column.EditMask;
    if (!mask.isEmpty()) edit->setInputMask(mask);
  }
  editor->setFont(column.Font.value_or(editor->font()));
  editor->setProperty(kCell, QVariant::fromValue(QPersistentModelIndex(index)));
  // Every change the user makes goes to the cell at once (a picked item through markPicked);
  // textEdited leaves out the editor's own setText, so a text the cell gets from elsewhere does
  // not come back to it.
  if (QLineEdit* edit = lineEditOf(editor)) {
    connect(edit, &QLineEdit::textEdited, editor, [this, editor] { writeToCell(editor); });
  }
  lastEditor_ = editor;
  return editor;
}

void MessageGridDelegate::writeToCell(QWidget* editor) const {
  const QModelIndex cell = editor->property(kCell).toPersistentModelIndex();
  if (cell.isValid()) model_.setData(cell, editorText(editor), Qt::EditRole);
}

void MessageGridDelegate::putBackTextBefore(QWidget* editor) const {
  const QModelIndex cell = editor->property(kCell).toPersistentModelIndex();
  const QString before = editor->property(kTextBefore).toString();
  if (cell.isValid()) model_.setData(cell, before, Qt::EditRole);
  showText(editor, before);
}

void MessageGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  const QString text = index.data(Qt::EditRole).toString();
  // The cell changed because the user typed: the editor shows that already and stays modified.
  if (editorText(editor) == text && editor->property(kTextBefore).isValid()) return;
  editor->setProperty(kTextBefore, text);
  showText(editor, text);
}

void MessageGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const {
  if (!modifiedByUser(editor)) return;
  const auto text = CoerceCellText(model_.column(index.column()).Format(), editorText(editor),
                                   QDate::currentDate());
  if (text) {
    model->setData(index, *text, Qt::EditRole);
    showText(editor, *text);
    editor->setProperty(kTextBefore, *text);
  } else {
    // The cell gets back the text it had; putting it back into the editor clears the modified
    // mark.
    QApplication::beep();
    putBackTextBefore(editor);
  }
  // A modified commit is reported even when its text did not convert.
  emit const_cast<MessageGridDelegate*>(this)->committed(index);
}

void MessageGridDelegate::setBackgroundPicture(const QPixmap& picture) {
  picture_ = picture;
  QImage inverted = picture.toImage();
  inverted.invertPixels();
  invertedPicture_ = QPixmap::fromImage(inverted);
}

void MessageGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  if (picture_.isNull() || index.column() == 0) {
    QStyledItemDelegate::paint(painter, option, index);
  } else {
    paintOnPicture(painter, option, index);
  }
  emit cellDrawn(index, option.rect, option.state);
}

// A normal cell over the background picture: the tiles take the place of the cell colour and of
// the selection fill (a selected cell shows them inverted), and the text is drawn without a
// fill, in the highlight text colour when the cell is selected or current.
void MessageGridDelegate::paintOnPicture(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  const bool selected = cell.state & QStyle::State_Selected;
  painter->save();
  // Tiles line up with those of the viewport's background, whose origin is the viewport's.
  painter->setBrushOrigin(0, 0);
  painter->fillRect(cell.rect, QBrush(selected ? invertedPicture_ : picture_));
  painter->restore();
  if (selected || (cell.state & QStyle::State_HasFocus)) {
    cell.palette.setBrush(QPalette::Text, cell.palette.highlightedText());
  }
  cell.state &= ~QStyle::State_Selected;
  cell.backgroundBrush = Qt::NoBrush;
  const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
}

bool MessageGridDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QWidget*>(object);
  // In a read-only ellipsis editor a double click anywhere presses the button; the read-only
  // pick list does the same in its own behaviour.
  if (QLineEdit* edit = ellipsisEditor(editor);
      edit && edit->isReadOnly() && isLeftDoubleClick(*event)) {
    emit editButtonClicked();
    return true;
  }
  if (editor && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (editorKeyHook && editorKeyHook(editor, key)) return true;
    // Escape closes the editor without a commit; the cell gets back its text from before.
    if (key->key() == Qt::Key_Escape && modifiedByUser(editor)) putBackTextBefore(editor);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && (key->modifiers() & Qt::ControlModifier)) {
      // Ctrl+Enter presses the ellipsis button of an editor that has one.
      if (ellipsisEditor(editor)) {
        emit editButtonClicked();
        return true;
      }
    }
    if (enter && !(key->modifiers() & Qt::ControlModifier)) {
      if (QLineEdit* edit = lineEditOf(editor)) {
        toggleSelection(*edit);
        return true;
      }
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace widgets
