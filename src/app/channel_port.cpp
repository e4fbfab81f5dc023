#include "app/channel_port.h"

#include "widgets/handler_guard.h"

namespace app {

void PortServices::guarded(const std::function<void()>& handler) const {
  widgets::RunGuarded(context.prompts, window, handler);
}

void PortServices::notice(const QString& text) const {
  widgets::ShowNotice(context.prompts, window, text);
}

void PortServices::errorBox(const QString& message) const {
  widgets::ShowErrorBox(context.prompts, window, message);
}

}  // namespace app
