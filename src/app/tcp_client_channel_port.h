#pragma once
// The TCP client as a channel of the main window: it connects to the stored address and port,
// shows the connection's state and sends to the server while the connection lasts.

#include <memory>

#include "app/channel_port.h"

namespace channels {
class TClientSocket;
class TCustomWinSocket;
}  // namespace channels

namespace app {

class TcpClientChannelPort final : public ChannelPort {
 public:
  explicit TcpClientChannelPort(PortServices services);
  ~TcpClientChannelPort() override;

  bool open() override;
  void close() override;
  void write(QByteArrayView bytes, WritePattern pattern) override;
  void showState(const store::ComSetSettings& settings, bool opened) override;

  channels::TClientSocket& Client() { return *client_; }

 private:
  void error(int& errorCode);

  PortServices services_;
  std::unique_ptr<channels::TClientSocket> client_;
  bool errorShown_ = false;    // the error event was reported during this open
  bool disconnected_ = false;  // the connection closed during this open
};

}  // namespace app
