#pragma once
// The message-list editor: creates, opens, edits and saves message-list files. It starts from
// the current list named in comset.ini and, when it closes, stores the name of the list it
// last had open there, which is all the main window takes from it.
// State: the current file name; the new-file state (from 新建 until a save through the save
// dialog of 保存 or of the close check, or until a file is opened); the dirty flag (set by 添加,
// a confirmed 删除 and committed cell changes; cleared by loads and saves); the value a name or
// content cell had when it was selected. Closing asks about unsaved changes and may be refused.
// Every handler runs guarded: a failure shows the error box and leaves the window open.

#include <QDialog>
#include <memory>

#include "store/app_files.h"
#include "widgets/prompts.h"

namespace Ui {
class TfrmDefineSend;
}

namespace dialogs {

class TfrmDefineSend : public QDialog {
  Q_OBJECT

 public:
  TfrmDefineSend(QWidget* parent, widgets::Prompts& prompts, const store::AppFiles& files);
  ~TfrmDefineSend() override;

  // Escape closes through the close check, like the close box.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormShow();
  void FormResize();
  void BtnNewClick();
  void BtnOpenClick();
  void BtnAddClick();
  void BtnDelClick();
  void BtnRefreshClick();
  void BtnSaveClick();
  void BtnSavaAsClick();
  // True when the window may close.
  bool FormCloseQuery();
  void FormClose();
  void GrdSendDrawCell(int col, int row);
  void GrdSendSelectCell(int col, int row);
  void GrdSendUserChanged(int col, int row);

  void setupGrid();
  void setupButtons();
  void guarded(const std::function<void()>& handler);
  void loadCurrentFile();
  void saveToCurrentFile();
  void rememberCurrentCell();
  void removeBlankRows();
  bool nothingToSave() const;
  bool chooseSaveName();
  void showFileName();
  void notice(const QString& text);

  std::unique_ptr<Ui::TfrmDefineSend> ui_;
  widgets::Prompts& prompts_;
  store::AppFiles files_;
  QString fileName_;
  bool newFile_ = false;
  bool dirty_ = false;
  QString valueBeforeEdit_;
  bool shown_ = false;
};

}  // namespace dialogs
