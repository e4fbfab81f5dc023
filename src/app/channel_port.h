#pragma once
// One channel of the main window behind one interface: the serial port, the TCP server and the
// TCP client each have an adapter (serial_channel_port, tcp_server_channel_port,
// tcp_client_channel_port), and the window picks the one its channel kind names.

#include <QByteArrayView>
#include <QString>
#include <functional>

#include "app/app_context.h"
#include "store/comset_settings.h"

class QWidget;

namespace app {

class StatusPanels;

// How a send puts bytes on the wire: a hex message goes to a serial port one byte per request,
// text as one request. The sockets send both the same way.
enum class WritePattern { HexBytes, Text };

// What the adapters use of the window that owns them.
struct PortServices {
  AppContext& context;
  StatusPanels& panels;
  QWidget* window;
  std::function<void()> closeCommand;  // runs the window's close command, as the user would
  std::function<void()> stopSockets;   // stops both sockets: a TCP open starts from neither
  void guarded(const std::function<void()>& handler) const;
  void notice(const QString& text) const;
  void errorBox(const QString& message) const;
};

class ChannelPort {
 public:
  virtual ~ChannelPort() = default;
  // Opens the channel with the stored settings. False when it could not; the user has been told.
  virtual bool open() = 0;
  virtual void close() = 0;
  virtual void write(QByteArrayView bytes, WritePattern pattern) = 0;
  // Shows the channel's settings and open state in the status panels 0, 1 and 4.
  virtual void showState(const store::ComSetSettings& settings, bool opened) = 0;
};

}  // namespace app
