#pragma once
// The serial port as a channel of the main window: opened with the stored line settings, shown
// as those settings and its open state. After the device was lost it can wait for the device to
// come back under the same name and open it again with the settings it had (awaitReturn);
// opening or closing the channel ends the waiting.

#include <memory>

#include "app/channel_port.h"
#include "app/device_return_watch.h"

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

  // Waits for the lost device to come back under its name (the port stays closed meanwhile);
  // onReopened runs once it has been opened again.
  void awaitReturn();
  void stopAwaitingReturn() { returnWatch_.stop(); }
  bool awaitingReturn() const { return returnWatch_.waiting(); }
  std::function<void()> onReopened;

  channels::TComm& Comm() { return *comm_; }

 private:
  bool reopen();

  PortServices services_;
  std::unique_ptr<channels::TComm> comm_;
  DeviceReturnWatch returnWatch_;
};

}  // namespace app
