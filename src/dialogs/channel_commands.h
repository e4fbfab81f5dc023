#pragma once
// What the communication settings dialog needs of the main window: refreshing its commands and
// status bar for a channel kind, setting its channel kind, and its open command. The main
// window implements it; tests put in a recorder.

namespace dialogs {

class ChannelCommands {
 public:
  virtual ~ChannelCommands() = default;
  // Refreshes the commands and the status bar for the kind (0 serial, 1 TCP server, 2 TCP
  // client) and the open state.
  virtual void ShowChannelState(int style, bool opened) = 0;
  virtual void SetStyle(int style) = 0;
  // The "打开(&O)" command: opens the stored channel and refreshes the main window. May throw.
  virtual void BtnOpenComClick() = 0;
};

}  // namespace dialogs
