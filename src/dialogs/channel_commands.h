#pragma once
// What the communication settings dialog needs of the main window: refreshing its commands and
// status bar for a channel kind, setting its channel kind, and its open command. The main
// window implements it; tests put in a recorder.

#include "store/channel_kinds.h"

namespace dialogs {

class ChannelCommands {
 public:
  virtual ~ChannelCommands() = default;
  // Refreshes the commands and the status bar for the kind and the open state.
  virtual void ShowChannelState(store::ChannelKind style, bool opened) = 0;
  virtual void SetStyle(store::ChannelKind style) = 0;
  // The "打开(&O)" command: opens the stored channel and refreshes the main window. May throw.
  virtual void BtnOpenComClick() = 0;
};

}  // namespace dialogs
