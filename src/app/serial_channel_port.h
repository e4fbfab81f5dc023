#pragma once
// The serial port as a channel of the main window: opened with the stored line settings, shown
// as those settings and its open state.

#include <memory>

#include "app/channel_port.h"

namespace channels {
class TComm;
}

namespace app {

class SerialChannelPort final : public ChannelPort {
 public:
  explicit SerialChannelPort(PortServices services);
  ~SerialChannelPort() override;  // closes the port if still open

  bool open() override;
  void close() override;
  void write(QByteArrayView bytes, WritePattern pattern) override;
  void showState(const store::ComSetSettings& settings, bool opened) override;

  channels::TComm& Comm() { return *comm_; }

 private:
  PortServices services_;
  std::unique_ptr<channels::TComm> comm_;
};

}  // namespace app
