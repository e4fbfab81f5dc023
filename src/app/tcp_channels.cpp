// The two TCP channels of the main window: opening and closing the client and the server,
// and the handlers of their events, which show the connection state in the state panel, log
// what arrives and close the channel when a connection fails. The serial channel's receive and
// hang-up events are wired here too, so every channel's events are set up in one place.
#include <QAction>

#include "app/main_window.h"
#include "app/status_panels.h"
#include "app/traffic_log.h"
#include "channels/serial_comm.h"
#include "channels/socket_client.h"
#include "channels/socket_server.h"
#include "store/comset_settings.h"
#include "widgets/handler_guard.h"

namespace app {
namespace {

// Each read notification logs what is pending as one line. A flooding peer can have megabytes
// pending; a line holds at most this much, and the rest stays pending for the next
// notification. In hex that is 49170 characters with the stamp, under the log's size limit, so
// one line alone never overflows the log; laying it out takes milliseconds, also for text
// without a single blank, where the line breaker's cost grows with the square of the length.
constexpr int kSocketLineLimit = 16 * 1024;
const QString kServerNotOpen = QStringLiteral("可能服务端还没有打开 ");

}  // namespace

void TfrmZh::connectChannels() {
  comm1_->OnReceiveData = [this](channels::TComm&, const char* buffer, quint16 length) {
    guarded([&] {
      if (receiveStyle_ != 0 && receiveStyle_ != 1 && length > 0) {
        // No line for a receive style outside the list, but the log comes forward all the same,
        // as it does for the sockets.
        log_->ApplySizeLimit();
        log_->ScrollLogToEnd();
        return;
      }
      log_->ReceiveChunk(QByteArrayView(buffer, length), receiveStyle_);
    });
  };
  comm1_->OnRequestHangup = [this](channels::TComm&) { guarded([this] { Comm1RequestHangup(); }); };
  auto reportUnhandled = [this](const QString& message) {
    widgets::ShowErrorBox(ctx_.prompts, this, message);
  };

  channels::TClientSocket& client = *clientSocket1_;
  client.OnUnhandledError = reportUnhandled;
  client.OnConnecting = [this](QObject*, auto&) {
    panels_->showState(QStringLiteral("正在连接..."));
  };
  client.OnConnect = [this](QObject*, auto&) { panels_->showState(QStringLiteral(" 已连接")); };
  client.OnDisconnect = [this](QObject*, auto&) {
    clientDisconnected_ = true;
    panels_->showState(QStringLiteral(" 已断开"));
  };
  client.OnRead = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { receiveFromSocket(socket); });
  };
  client.OnError = [this](QObject*, channels::TCustomWinSocket& socket, channels::TErrorEvent,
                          int& errorCode) {
    guarded([&] { ClientSocket1Error(socket, errorCode); });
  };

  channels::TServerSocket& server = *serverSocket1_;
  server.OnUnhandledError = reportUnhandled;
  server.OnListen = [this](QObject*, auto&) { panels_->showState(QStringLiteral("正在监听...")); };
  server.OnClientConnect = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { panels_->showState(socket.PeerAddress() + QStringLiteral(" 已连接")); });
  };
  server.OnAccept = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { panels_->showState(QStringLiteral("  客户端ip:") + socket.PeerAddress()); });
  };
  server.OnClientDisconnect = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { panels_->showState(socket.PeerAddress() + QStringLiteral(" 已断开")); });
  };
  server.OnClientRead = [this](QObject*, channels::TCustomWinSocket& socket) {
    guarded([&] { receiveFromSocket(socket); });
  };
  server.OnClientError = [this](QObject*, channels::TCustomWinSocket& socket, channels::TErrorEvent,
                                int& errorCode) {
    guarded([&] { ServerSocket1ClientError(socket, errorCode); });
  };
}

bool TfrmZh::OpenClientChannel() {
  clientSocket1_->setActive(false);
  serverSocket1_->setActive(false);
  clientErrorShown_ = false;
  clientDisconnected_ = false;
  try {
    const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
    clientSocket1_->setAddress(settings.clientIp);
    clientSocket1_->setPort(settings.clientPortValue());
    clientSocket1_->setActive(true);
  } catch (const std::exception&) {
    // An activation that failed through the error event has said so already: one box is enough.
    if (!clientErrorShown_) {
      widgets::ShowNotice(ctx_.prompts, this, QStringLiteral("可能服务端还没有打开"));
    }
    return false;
  }
  return true;
}

void TfrmZh::CloseClientChannel() { clientSocket1_->setActive(false); }

void TfrmZh::sendToServer(QByteArrayView bytes) {
  if (!clientDisconnected_) {
    clientSocket1_->Socket().SendBytes(bytes);
    return;
  }
  // The server has closed the connection, so nothing sent can reach it: the channel is closed
  // and the user told, as on a failed send, rather than sending into nothing. Closed first: the
  // box runs the event loop, where the send timers would still tick.
  triggerCloseCommand();
  widgets::ShowNotice(ctx_.prompts, this, kServerNotOpen);
}

bool TfrmZh::OpenServerChannel() {
  clientSocket1_->setActive(false);
  serverSocket1_->setActive(false);
  try {
    serverSocket1_->setPort(store::ComSetSettings::load(ctx_.files).serverPortValue());
    serverSocket1_->setActive(true);
  } catch (const std::exception&) {
    widgets::ShowNotice(ctx_.prompts, this, QStringLiteral("可能该服务已经启动"));
    return false;
  }
  return true;
}

void TfrmZh::CloseServerChannel() {
  serverSocket1_->setActive(false);
  panels_->showState(QStringLiteral("停止监听"));
}

void TfrmZh::receiveFromSocket(channels::TCustomWinSocket& socket) {
  log_->ApplySizeLimit();
  const int pending = std::min(socket.PendingLength(), kSocketLineLimit);
  if (pending <= 0) return;
  if (receiveStyle_ != 0 && receiveStyle_ != 1) {
    log_->ScrollLogToEnd();  // nothing is read: the bytes stay pending
    return;
  }
  QByteArray bytes(pending, Qt::Uninitialized);
  const int got = socket.ReceiveBytes(bytes.data(), pending);
  if (got <= 0) return;
  bytes.resize(got);
  log_->ReceiveChunk(bytes, receiveStyle_);
}

void TfrmZh::ClientSocket1Error(channels::TCustomWinSocket&, int& errorCode) {
  panels_->showState(QStringLiteral("连接有误"));
  clientErrorShown_ = true;
  widgets::ShowNotice(ctx_.prompts, this, kServerNotOpen);
  errorCode = 0;
  triggerCloseCommand();
}

void TfrmZh::ServerSocket1ClientError(channels::TCustomWinSocket& socket, int& errorCode) {
  panels_->showState(socket.PeerAddress() + QStringLiteral("连接有误"));
  widgets::ShowNotice(ctx_.prompts, this, QStringLiteral("可能该服务已经启动"));
  errorCode = 0;
  triggerCloseCommand();
}

void TfrmZh::triggerCloseCommand() {
  // A menu command runs only while it is enabled, that is while the channel is open.
  if (ui_.btnCloseCom->isEnabled()) ui_.btnCloseCom->trigger();
}

}  // namespace app
