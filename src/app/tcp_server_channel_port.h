#pragma once
// The TCP server as a channel of the main window: it listens on the stored port, shows each
// client's coming and going in the state panel and sends to every connected client.

#include <memory>

#include "app/channel_port.h"

namespace channels {
class TServerSocket;
class TCustomWinSocket;
}  // namespace channels

namespace app {

class TcpServerChannelPort final : public ChannelPort {
 public:
  explicit TcpServerChannelPort(PortServices services);
  ~TcpServerChannelPort() override;

  bool open() override;
  void close() override;
  void write(QByteArrayView bytes, WritePattern pattern) override;
  void showState(const store::ComSetSettings& settings, bool opened) override;

  channels::TServerSocket& Server() { return *server_; }
  int ConnectionCount() const;

 private:
  void clientError(channels::TCustomWinSocket& socket, int& errorCode);

  PortServices services_;
  std::unique_ptr<channels::TServerSocket> server_;
};

}  // namespace app
