#include "widgets/prompts.h"

#include <QFileDialog>

namespace widgets {
namespace {

QMessageBox::Icon toQt(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::None:
      return QMessageBox::NoIcon;
    case PromptIcon::Information:
      return QMessageBox::Information;
    case PromptIcon::Question:
      return QMessageBox::Question;
    case PromptIcon::Warning:
      return QMessageBox::Warning;
    case PromptIcon::Error:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, request.caption, request.directory, request.filter);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace

QMessageBox::StandardButton QtPrompts::messageBox(QWidget* parent, PromptIcon icon,
                                                  const QString& caption, const QString& text,
                                                  QMessageBox::StandardButtons buttons) {
  QMessageBox box(toQt(icon), caption, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

std::optional<QString> QtPrompts::saveFileName(QWidget* parent, const FileDialogRequest& request) {
  return runFileDialog(parent, withStartDirectory(request), QFileDialog::AcceptSave);
}

std::optional<QString> QtPrompts::openFileName(QWidget* parent, const FileDialogRequest& request) {
  return runFileDialog(parent, withStartDirectory(request), QFileDialog::AcceptOpen);
}

FileDialogRequest QtPrompts::withStartDirectory(FileDialogRequest request) const {
  if (request.directory.isEmpty()) request.directory = defaultDirectory_;
  return request;
}

void ShowNotice(Prompts& prompts, QWidget* parent, const QString& text) {
  prompts.messageBox(parent, PromptIcon::Information, kNoticeCaption, text, QMessageBox::Ok);
}

}  // namespace widgets
