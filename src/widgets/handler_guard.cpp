#include "widgets/handler_guard.h"

#include <exception>

namespace widgets {

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void ShowErrorBox(Prompts& prompts, QWidget* parent, const QString& message) {
  prompts.messageBox(parent, PromptIcon::Error, kProgramTitle, ErrorBoxText(message),
                     QMessageBox::Ok);
}

bool RunGuarded(Prompts& prompts, QWidget* parent, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    ShowErrorBox(prompts, parent, QString::fromUtf8(e.what()));
  } catch (...) {
    ShowErrorBox(prompts, parent, QStringLiteral("Unknown error"));
  }
  return false;
}

}  // namespace widgets
