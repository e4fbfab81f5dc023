#include "dialogs/define_send.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStyle>
#include <algorithm>

#include "store/message_list_file.h"
#include "ui_define_send.h"
#include "widgets/form_size.h"
#include "widgets/handler_guard.h"
#include "widgets/message_grid_adapter.h"
#include "widgets/pictures.h"

namespace dialogs {
namespace {

const QString kFormSection = QStringLiteral("frmDefineSend");
const QString kDefaultList = QStringLiteral("default.sen");
const QString kExtension = QStringLiteral(".sen");
// This window's own notices carry an ASCII exclamation mark.
const QString kCaption = QStringLiteral("系统提示!");
const QString kNothingToSave = QStringLiteral("没有报文,不可保存!");
const QString kSaved = QStringLiteral("保存成功!");
constexpr int kNameCol = 1;
constexpr int kContentCol = 2;

// Removes characters with codes 0 to 32 at both ends.
QString trimControls(const QString& text) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && text[start].unicode() <= 32) ++start;
  while (end > start && text[end - 1].unicode() <= 32) --end;
  return text.mid(start, end - start);
}

// Message lists are kept with the settings, so the dialogs start there.
widgets::FileDialogRequest listFileRequest(const store::AppFiles& files) {
  widgets::FileDialogRequest request;
  request.directory = files.settingsDir;
  request.filter = QStringLiteral("发送报文文件(*.sen)");
  return request;
}

}  // namespace

TfrmDefineSend::TfrmDefineSend(QWidget* parent, widgets::Prompts& prompts,
                               const store::AppFiles& files)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TfrmDefineSend>()),
      prompts_(prompts),
      files_(files) {
  ui_->setupUi(this);
  setupGrid();
  setupButtons();
  auto* panel = new QLabel(ui_->StatusBar1);
  panel->setObjectName(QStringLiteral("StatusPanel0"));
  panel->setTextFormat(Qt::PlainText);  // a file name, shown as it is
  ui_->StatusBar1->addWidget(panel, 1);
  guarded([this] { widgets::RestoreFormSize(*this, files_, kFormSection); });
}

TfrmDefineSend::~TfrmDefineSend() = default;

void TfrmDefineSend::setupGrid() {
  widgets::TPowerStringGrid& grid = *ui_->GrdSend;
  grid.setColCount(3);
  grid.setRowCount(2);
  grid.setDefaultRowHeight(20);
  grid.setColumnAlignment(0, Qt::AlignCenter, Qt::AlignCenter);
  grid.setColumnAlignment(kNameCol, Qt::AlignLeft, Qt::AlignCenter);
  grid.setColumnAlignment(kContentCol, Qt::AlignLeft, Qt::AlignCenter);
  grid.setColumnTitle(kNameCol, QStringLiteral("报文名称"));
  grid.setColumnTitle(kContentCol, QStringLiteral("报文内容"));
  grid.setColWidths(0, 25);
  grid.setColWidths(kNameCol, 100);
  grid.setColWidths(kContentCol, 386);
  // The cell editor is always shown: it opens on whichever cell becomes current.
  grid.setEditTriggers(grid.editTriggers() | QAbstractItemView::CurrentChanged);
  grid.setDataGridOptions(widgets::dgoInsertRow | widgets::dgoDeleteRow);
  grid.setRowCountMin(0);
  grid.setSelectedIndex(kNameCol);
  connect(&grid, &widgets::TDataGrid1::DrawCell, this,
          [this](int col, int row) { guarded([=, this] { GrdSendDrawCell(col, row); }); });
  connect(&grid, &widgets::TDataGrid1::SelectCell, this,
          [this](int col, int row) { guarded([=, this] { GrdSendSelectCell(col, row); }); });
  connect(&grid, &widgets::TDataGrid1::Resized, this,
          [this] { guarded([this] { FormResize(); }); });
  // A row operation can put another row's text under the cursor without a cell selection.
  connect(&grid, &widgets::TDataGrid1::AfterInsert, this, &TfrmDefineSend::rememberCurrentCell);
  connect(&grid, &widgets::TDataGrid1::AfterDelete, this, &TfrmDefineSend::rememberCurrentCell);
  connect(&grid, &widgets::TDataGrid1::UserChanged, this,
          [this](int col, int row) { guarded([=, this] { GrdSendUserChanged(col, row); }); });
}

void TfrmDefineSend::setupButtons() {
  struct Button {
    QToolButton* button;
    const char* theme;
    QStyle::StandardPixmap fallback;
    void (TfrmDefineSend::*handler)();
  };
  const Button buttons[] = {
      {ui_->BtnNew, "document-new", QStyle::SP_FileIcon, &TfrmDefineSend::BtnNewClick},
      {ui_->BtnOpen, "document-open", QStyle::SP_DialogOpenButton, &TfrmDefineSend::BtnOpenClick},
      {ui_->BtnAdd, "list-add", QStyle::SP_FileDialogNewFolder, &TfrmDefineSend::BtnAddClick},
      {ui_->BtnDel, "list-remove", QStyle::SP_TrashIcon, &TfrmDefineSend::BtnDelClick},
      {ui_->BtnRefresh, "view-refresh", QStyle::SP_BrowserReload, &TfrmDefineSend::BtnRefreshClick},
      {ui_->BtnSave, "document-save", QStyle::SP_DialogSaveButton, &TfrmDefineSend::BtnSaveClick},
      {ui_->BtnSavaAs, "document-save-as", QStyle::SP_DriveFDIcon, &TfrmDefineSend::BtnSavaAsClick},
      {ui_->BtnBack, "go-previous", QStyle::SP_ArrowBack, nullptr},
  };
  for (const Button& b : buttons) {
    const QIcon picture =
        QIcon::fromTheme(QString::fromLatin1(b.theme), style()->standardIcon(b.fallback));
    b.button->setIcon(widgets::PictureOfSize(picture, b.button->iconSize()));
    if (b.handler) {
      connect(b.button, &QToolButton::clicked, this, [this, h = b.handler] {
        guarded([=, this] {
          // A click on the toolbar leaves the focus in the cell: the command sees the text
          // being typed there, and may set the dirty flag through the commit.
          ui_->GrdSend->CommitEdit();
          (this->*h)();
        });
      });
    }
  }
  // 返回 closes; the close check runs in closeEvent.
  connect(ui_->BtnBack, &QToolButton::clicked, this, &QWidget::close);
}

void TfrmDefineSend::guarded(const std::function<void()>& handler) {
  widgets::RunGuarded(prompts_, this, handler);
}

void TfrmDefineSend::reject() { close(); }

void TfrmDefineSend::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  guarded([this] { FormShow(); });
}

void TfrmDefineSend::closeEvent(QCloseEvent* event) {
  bool mayClose = false;
  // A failed save during the check keeps the window open.
  const bool checked = widgets::RunGuarded(prompts_, this, [&] { mayClose = FormCloseQuery(); });
  if (!checked || !mayClose) {
    event->ignore();
    return;
  }
  guarded([this] { FormClose(); });
  event->accept();
  QDialog::done(QDialog::Rejected);
}

void TfrmDefineSend::FormShow() {
  fileName_ = store::CurrentSendFileName(files_);
  loadCurrentFile();
  showFileName();
}

void TfrmDefineSend::FormResize() {
  widgets::TPowerStringGrid& grid = *ui_->GrdSend;
  grid.setColWidths(kContentCol,
                    std::max(0, grid.width() - grid.ColWidths(0) - grid.ColWidths(kNameCol) - 30));
}

void TfrmDefineSend::BtnNewClick() {
  newFile_ = true;
  widgets::GridAdapter grid(*ui_->GrdSend);
  store::ClearGridColumns(grid, {kNameCol, kContentCol});
  ui_->GrdSend->setRowCount(2);
  rememberCurrentCell();
  ui_->StatusBar1->findChild<QLabel*>()->setText(QStringLiteral("新建发送文件"));
}

void TfrmDefineSend::BtnOpenClick() {
  const std::optional<QString> chosen = prompts_.openFileName(this, listFileRequest(files_));
  if (!chosen) return;
  newFile_ = false;
  fileName_ = *chosen;
  loadCurrentFile();
  widgets::GridAdapter grid(*ui_->GrdSend);
  store::NumberGridRows(grid);
  showFileName();
  dirty_ = false;
}

void TfrmDefineSend::BtnAddClick() {
  ui_->GrdSend->InsertRow(ui_->GrdSend->Row());
  dirty_ = true;
}

void TfrmDefineSend::BtnDelClick() {
  const int row = ui_->GrdSend->Row();
  const auto answer = prompts_.messageBox(
      this, widgets::PromptIcon::Information, kCaption,
      QStringLiteral("确定删除第 ") + QString::number(row) + QStringLiteral(" 行纪录?"),
      QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  ui_->GrdSend->DeleteRow(row);
  dirty_ = true;
}

void TfrmDefineSend::BtnRefreshClick() { removeBlankRows(); }

void TfrmDefineSend::BtnSaveClick() {
  removeBlankRows();
  if (nothingToSave()) return notice(kNothingToSave);
  const bool wasNew = newFile_;
  if (wasNew && !chooseSaveName()) return;
  saveToCurrentFile();
  notice(kSaved);
  if (wasNew) {
    showFileName();
    newFile_ = false;
  }
  dirty_ = false;
  rememberCurrentCell();
}

void TfrmDefineSend::BtnSavaAsClick() {
  removeBlankRows();
  if (nothingToSave()) return notice(kNothingToSave);
  if (!chooseSaveName()) return;
  saveToCurrentFile();
  notice(QStringLiteral("另存成功!"));
  dirty_ = false;
  rememberCurrentCell();
  showFileName();
}

bool TfrmDefineSend::FormCloseQuery() {
  ui_->txtFocus->setFocus();
  ui_->GrdSend->CommitEdit();
  removeBlankRows();
  if (nothingToSave()) {
    notice(kNothingToSave);
    return true;
  }
  if (newFile_) {
    if (chooseSaveName()) {
      saveToCurrentFile();
      notice(kSaved);
      showFileName();
      newFile_ = false;
      dirty_ = false;
    }
    return true;
  }
  if (!dirty_) return true;
  const auto answer =
      prompts_.messageBox(this, widgets::PromptIcon::Information, widgets::kNoticeCaption,
                          QStringLiteral("修改的报文没有保存，是否要保存？"),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Yes) {
    removeBlankRows();
    saveToCurrentFile();
  }
  return true;
}

void TfrmDefineSend::FormClose() {
  store::StoreSendFileName(files_, fileName_);
  widgets::StoreFormSize(*this, files_, kFormSection);
}

void TfrmDefineSend::GrdSendDrawCell(int col, int row) {
  const QString number = QString::number(row);
  if (col == 0 && row >= 1 && ui_->GrdSend->Cells(0, row) != number) {
    ui_->GrdSend->setCells(0, row, number);
  }
}

void TfrmDefineSend::GrdSendSelectCell(int col, int row) {
  if (col == kNameCol || col == kContentCol) valueBeforeEdit_ = ui_->GrdSend->Cells(col, row);
}

void TfrmDefineSend::GrdSendUserChanged(int col, int row) {
  if ((col == kNameCol || col == kContentCol) &&
      ui_->GrdSend->Cells(col, row) != valueBeforeEdit_) {
    dirty_ = true;
  }
}

void TfrmDefineSend::loadCurrentFile() {
  widgets::GridAdapter grid(*ui_->GrdSend);
  store::LoadGridsFromFile({&grid}, fileName_, kDefaultList, files_);
  store::FitGridColumns(grid, {kNameCol});
  rememberCurrentCell();
}

// Only the rows on screen renumber themselves as they are drawn: the file gets every row's
// number right.
void TfrmDefineSend::saveToCurrentFile() {
  widgets::GridAdapter grid(*ui_->GrdSend);
  store::NumberGridRows(grid);
  store::SaveGridsToFile({&grid}, fileName_);
}

// The text an edit of the current cell is compared with to tell whether it changed anything.
void TfrmDefineSend::rememberCurrentCell() {
  valueBeforeEdit_ = ui_->GrdSend->Cells(ui_->GrdSend->Col(), ui_->GrdSend->Row());
}

// Rows without content go, names and all; the last data row is emptied instead.
void TfrmDefineSend::removeBlankRows() {
  widgets::TPowerStringGrid& grid = *ui_->GrdSend;
  for (int r = grid.RowCount() - 1; r >= 1; --r) {
    if (trimControls(grid.Cells(kContentCol, r)).isEmpty()) grid.DeleteRow(r);
  }
}

// A list without a single data row counts as empty too, so no count below 2 is ever written.
bool TfrmDefineSend::nothingToSave() const {
  const widgets::TPowerStringGrid& grid = *ui_->GrdSend;
  if (grid.RowCount() < 2) return true;
  return grid.RowCount() == 2 && trimControls(grid.Cells(kContentCol, 1)).isEmpty();
}

bool TfrmDefineSend::chooseSaveName() {
  const std::optional<QString> chosen = prompts_.saveFileName(this, listFileRequest(files_));
  if (!chosen) return false;
  fileName_ = *chosen;
  if (!fileName_.endsWith(kExtension)) fileName_ += kExtension;
  return true;
}

void TfrmDefineSend::showFileName() {
  ui_->StatusBar1->findChild<QLabel*>()->setText(QStringLiteral("发送报文文件:") + fileName_);
}

void TfrmDefineSend::notice(const QString& text) {
  prompts_.messageBox(this, widgets::PromptIcon::Information, kCaption, text, QMessageBox::Ok);
}

}  // namespace dialogs
