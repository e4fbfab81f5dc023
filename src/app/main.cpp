// Program entry: the application name and icon, the main window, the event loop. Every window
// sets its own caption: an application display name would be appended to each of them.
#include <QApplication>

#include "app/main_window.h"
#include "dialogs/pictures.h"
#include "dialogs/prompts.h"
#include "platform/desktop_shell.h"
#include "store/app_files.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("oruvotarvix"));
  QApplication::setWindowIcon(dialogs::ProgramIcon());
  dialogs::QtPrompts prompts;
  platform::XdgShell shell;
  app::TfrmZh window(app::AppContext{store::AppFiles::besideExecutable(), prompts, shell});
  window.show();
  return app.exec();
}
