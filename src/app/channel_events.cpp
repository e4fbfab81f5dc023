// What arrives on every channel goes to the traffic log; the serial engine's hang-up closes the
// channel until the device is back. The ports handle their own state events; these are the
// window's.
#include <QAction>

#include "app/main_window.h"
#include "app/serial_channel_port.h"
#include "app/tcp_client_channel_port.h"
#include "app/tcp_server_channel_port.h"
#include "app/traffic_log.h"
#include "channels/serial_comm.h"
#include "channels/socket_client.h"
#include "channels/socket_server.h"

namespace app {
namespace {

// Each read notification logs what is pending as one line. A flooding peer can have megabytes
// pending; a line holds at most this much, and the rest stays pending for the next
// notification. In hex that is 49170 characters with the stamp, under the log's size limit, so
// one line alone never overflows the log.
constexpr int kSocketLineLimit = 16 * 1024;

// The program's own lines about the device, apart from the traffic's colours.
const QColor kDeviceNoticeColour{128, 128, 128};

}  // namespace

void TfrmZh::connectChannels() {
  channels::TComm& comm = serialPort_->Comm();
  comm.OnReceiveData = [this](channels::TComm& port, const char* buffer, quint16 length) {
    guarded([&] {
      if (!store::IsListed(receiveStyle_) && length > 0) {
        // No line for a receive style outside the list, but the log comes forward all the same,
        // as it does for the sockets.
        log_->ApplySizeLimit();
        log_->ScrollLogToEnd();
        return;
      }
      log_->ReceiveChunk(QByteArrayView(buffer, length), receiveStyle_, decoders_.of(port));
    });
  };
  comm.OnRequestHangup = [this](channels::TComm&) { guarded([this] { Comm1RequestHangup(); }); };
  serialPort_->onReopened = [this] { Comm1Reopened(); };

  clientPort_->Client().OnRead = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { receiveFromSocket(socket); });
  };
  serverPort_->Server().OnClientRead = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { receiveFromSocket(socket); });
  };
}

void TfrmZh::receiveFromSocket(channels::TCustomWinSocket& socket) {
  log_->ApplySizeLimit();
  const int pending = std::min(socket.PendingLength(), kSocketLineLimit);
  if (pending <= 0) return;
  if (!store::IsListed(receiveStyle_)) {
    log_->ScrollLogToEnd();  // nothing is read: the bytes stay pending
    return;
  }
  QByteArray bytes(pending, Qt::Uninitialized);
  const int got = socket.ReceiveBytes(bytes.data(), pending);
  if (got <= 0) return;
  bytes.resize(got);
  log_->ReceiveChunk(bytes, receiveStyle_, decoders_.of(socket));
}

void TfrmZh::logDeviceNotice(const QString& text) {
  log_->ScrollLogToEnd();
  log_->AppendLogLine(text, kDeviceNoticeColour);
}

void TfrmZh::triggerCloseCommand() {
  // A menu command runs only while it is enabled, that is while the channel is open.
  if (ui_.btnCloseCom->isEnabled()) ui_.btnCloseCom->trigger();
}

}  // namespace app
