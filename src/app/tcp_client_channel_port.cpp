#include "app/tcp_client_channel_port.h"

#include "app/status_panels.h"
#include "channels/socket_client.h"
#include "store/comset_settings.h"

namespace app {
namespace {

const QString kServerNotOpen = QStringLiteral("可能服务端还没有打开 ");

}  // namespace

TcpClientChannelPort::TcpClientChannelPort(PortServices services)
    : services_(std::move(services)), client_(std::make_unique<channels::TClientSocket>()) {
  client_->setPort(15000);
  channels::TClientSocket& client = *client_;
  StatusPanels& panels = services_.panels;
  client.OnUnhandledError = [this](const QString& message) { services_.errorBox(message); };
  client.OnConnecting = [&panels](QObject*, auto&) {
    panels.showState(QStringLiteral("正在连接..."));
  };
  client.OnConnect = [&panels](QObject*, auto&) { panels.showState(QStringLiteral(" 已连接")); };
  client.OnDisconnect = [this, &panels](QObject*, auto&) {
    disconnected_ = true;
    panels.showState(QStringLiteral(" 已断开"));
  };
  client.OnError = [this](QObject*, channels::TCustomWinSocket&, channels::TErrorEvent,
                          int& errorCode) { services_.guarded([&] { error(errorCode); }); };
}

TcpClientChannelPort::~TcpClientChannelPort() = default;

bool TcpClientChannelPort::open() {
  services_.stopSockets();
  errorShown_ = false;
  disconnected_ = false;
  try {
    const store::ComSetSettings settings = store::ComSetSettings::load(services_.context.files);
    client_->setAddress(settings.clientIp);
    client_->setPort(settings.clientPortValue());
    client_->setActive(true);
  } catch (const std::exception&) {
    // An activation that failed through the error event has said so already: one box is enough.
    if (!errorShown_) services_.notice(QStringLiteral("可能服务端还没有打开"));
    return false;
  }
  return true;
}

void TcpClientChannelPort::close() { client_->setActive(false); }

void TcpClientChannelPort::write(QByteArrayView bytes, WritePattern) {
  if (!disconnected_) {
    client_->Socket().SendBytes(bytes);
    return;
  }
  // The server has closed the connection, so nothing sent can reach it: the channel is closed
  // and the user told, as on a failed send, rather than sending into nothing. Closed first: the
  // box runs the event loop, where the send timers would still tick.
  services_.closeCommand();
  services_.notice(kServerNotOpen);
}

void TcpClientChannelPort::showState(const store::ComSetSettings& settings, bool opened) {
  StatusPanels& panels = services_.panels;
  panels.setText(4, QStringLiteral("以太网Tcp/ip方式　客户端"));
  panels.setText(0, QStringLiteral("  连接IP:") + settings.clientIp + QStringLiteral(",端口：") +
                        settings.clientPortText() + QStringLiteral("  "));
  if (!opened) panels.setText(1, QStringLiteral("尚未连接"));
}

void TcpClientChannelPort::error(int& errorCode) {
  services_.panels.showState(QStringLiteral("连接有误"));
  errorShown_ = true;
  services_.notice(kServerNotOpen);
  errorCode = 0;
  services_.closeCommand();
}

}  // namespace app
