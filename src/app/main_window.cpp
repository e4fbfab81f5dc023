#include "app/main_window.h"

namespace app {

TfrmZh::TfrmZh(AppContext context, QWidget* parent) : QMainWindow(parent), ctx_(context) {}

}  // namespace app
