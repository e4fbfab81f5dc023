// Program entry: the application name and icon, where the files are, the main window, the
// event loop. Every window sets its own caption: an application display name would be appended
// to each of them.
#include <QApplication>

#include "app/main_window.h"
#include "platform/desktop_shell.h"
#include "platform/termination_signals_posix.h"
#include "store/app_files.h"
#include "widgets/pictures.h"
#include "widgets/prompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("oruvotarvix"));
  QApplication::setDesktopFileName(QStringLiteral("com.example.oruvotarvix"));
  QApplication::setWindowIcon(widgets::ProgramIcon());
  const store::AppFiles files = store::AppFiles::forRunningProgram();
  // The log's own save dialog names no directory: it starts where the saved log is kept.
  widgets::QtPrompts prompts(files.logDir);
  platform::XdgShell shell;
  app::TfrmZh window(app::AppContext{files, prompts, shell});
  // A termination signal closes the window as the user would; quitting as well ends a dialog
  // that may be open over it.
  const platform::TerminationSignals termination([&window] {
    window.close();
    QApplication::quit();
  });
  window.show();
  return app.exec();
}
