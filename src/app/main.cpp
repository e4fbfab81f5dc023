// Program entry: the application title, the main window, the event loop.
#include <QApplication>

#include "app/main_window.h"
#include "dialogs/handler_guard.h"
#include "dialogs/pictures.h"
#include "dialogs/prompts.h"
#include "platform/desktop_shell.h"
#include "store/app_files.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("oruvotarvix"));
  QApplication::setApplicationDisplayName(dialogs::kProgramTitle);
  QApplication::setWindowIcon(dialogs::ProgramIcon());
  dialogs::QtPrompts prompts;
  platform::XdgShell shell;
  app::TfrmZh window(app::AppContext{store::AppFiles::besideExecutable(), prompts, shell});
  window.show();
  return app.exec();
}
