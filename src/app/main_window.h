#pragma once
#include <QMainWindow>

#include "app/app_context.h"

namespace app {

class TfrmZh : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmZh(AppContext context, QWidget* parent = nullptr);

 private:
  AppContext ctx_;
};

}  // namespace app
