#pragma once
// What every window of the program is given: where its files are, the seam for message boxes
// and file dialogs, and the desktop shell.

#include "platform/desktop_shell.h"
#include "store/app_files.h"
#include "widgets/prompts.h"

namespace app {

struct AppContext {
  store::AppFiles files;
  widgets::Prompts& prompts;
  platform::DesktopShell& shell;
};

}  // namespace app
