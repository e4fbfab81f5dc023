#include "app/tcp_server_channel_port.h"

#include "app/status_panels.h"
#include "channels/socket_server.h"
#include "store/comset_settings.h"

namespace app {
namespace {

const QString kServiceRunning = QStringLiteral("可能该服务已经启动");

}  // namespace

TcpServerChannelPort::TcpServerChannelPort(PortServices services)
    : services_(std::move(services)), server_(std::make_unique<channels::TServerSocket>()) {
  server_->setPort(15000);
  channels::TServerSocket& server = *server_;
  StatusPanels& panels = services_.panels;
  server.OnUnhandledError = [this](const QString& message) { services_.errorBox(message); };
  server.OnListen = [&panels](QObject*, auto&) { panels.showState(QStringLiteral("正在监听...")); };
  server.OnClientConnect = [this, &panels](QObject*, channels::TCustomWinSocket& socket) {
    services_.guarded([&] { panels.showState(socket.PeerAddress() + QStringLiteral(" 已连接")); });
  };
  server.OnAccept = [this, &panels](QObject*, channels::TCustomWinSocket& socket) {
    services_.guarded(
        [&] { panels.showState(QStringLiteral("  客户端ip:") + socket.PeerAddress()); });
  };
  server.OnClientDisconnect = [this, &panels](QObject*, channels::TCustomWinSocket& socket) {
    services_.guarded([&] { panels.showState(socket.PeerAddress() + QStringLiteral(" 已断开")); });
  };
  server.OnClientError = [this](QObject*, channels::TCustomWinSocket& socket, channels::TErrorEvent,
                                int& errorCode) {
    services_.guarded([&] { clientError(socket, errorCode); });
  };
}

TcpServerChannelPort::~TcpServerChannelPort() = default;

bool TcpServerChannelPort::open() {
  services_.stopSockets();
  try {
    server_->setPort(store::ComSetSettings::load(services_.context.files).serverPortValue());
    server_->setActive(true);
  } catch (const std::exception&) {
    services_.notice(kServiceRunning);
    return false;
  }
  return true;
}

void TcpServerChannelPort::close() {
  server_->setActive(false);
  services_.panels.showState(QStringLiteral("停止监听"));
}

void TcpServerChannelPort::write(QByteArrayView bytes, WritePattern) {
  // A send error can close the channel inside the loop; the list then stops the loop.
  channels::TServerWinSocket& listener = server_->Socket();
  for (int i = 0; i < listener.ConnectionCount(); ++i) {
    channels::TCustomWinSocket* connection = listener.ConnectionAt(i);
    if (!connection) break;
    connection->SendBytes(bytes);
  }
}

void TcpServerChannelPort::showState(const store::ComSetSettings& settings, bool opened) {
  StatusPanels& panels = services_.panels;
  panels.setText(4, QStringLiteral("以太网Tcp/ip方式　服务端"));
  panels.setText(0, QStringLiteral("监听端口：") + settings.serverPortText());
  if (!opened) panels.setText(1, QStringLiteral("尚未监听"));
}

int TcpServerChannelPort::ConnectionCount() const { return server_->Socket().ConnectionCount(); }

void TcpServerChannelPort::clientError(channels::TCustomWinSocket& socket, int& errorCode) {
  services_.panels.showState(socket.PeerAddress() + QStringLiteral("连接有误"));
  services_.notice(kServiceRunning);
  errorCode = 0;
  services_.closeCommand();
}

}  // namespace app
