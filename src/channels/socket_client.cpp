#include "channels/socket_client.h"

#include <QtGlobal>

#include "platform/socket_bsd.h"

namespace channels {

TClientSocket::TClientSocket(QObject* parent) : QObject(parent) {}

TClientSocket::~TClientSocket() { socket_.closeQuietly(); }

void TClientSocket::setActive(bool active) {
  if (active == active_) {
    if (!active) socket_.closeQuietly();  // cancels an attempt still pending
    return;
  }
  if (!active) {
    deactivate();
    return;
  }
  try {
    activate();
  } catch (...) {
    // A failure during activation (a handler's as well) leaves no attempt behind.
    if (!socket_.Connected()) socket_.closeQuietly();
    throw;
  }
}

void TClientSocket::activate() {
  if (socket_.Connected()) throw SocketAlreadyOpen();
  platform::NewSocket created = platform::createTcpSocket();
  if (!created.fd.valid()) throw CantCreateSocket();
  socket_.adoptUnconnected(std::move(created.fd));
  const uint64_t attempt = socket_.generation();

  RaiseEvent(OnLookup, this, socket_);
  if (!socket_.isCurrent(attempt)) return;  // the handler gave the attempt up
  if (!host_.isEmpty() || !service_.isEmpty()) {
    failLookup(platform::unsupportedRequestCode(), false);
    return;
  }
  if (address_.isEmpty()) {
    failLookup(kNoAddressErrorCode, true);
    return;
  }

  RaiseEvent(OnConnecting, this, socket_);
  if (!socket_.isCurrent(attempt)) return;
  const platform::ConnectResult started =
      platform::startConnect(socket_.fd(), address_, static_cast<uint16_t>(port_ & 0xFFFF));
  switch (started.kind) {
    case platform::ConnectStart::Pending:
      socket_.watchConnect();
      break;
    case platform::ConnectStart::Refused:
      socket_.failConnectLater(started.error.code);
      break;
    case platform::ConnectStart::Failed:
      throw SocketApiError(started.error.code, "connect");
  }
}

// Raises OnError with eeLookup and fails the activation (which closes the attempt). It fails even
// when the handler cleared the code: no connection attempt was started, and an activation that
// returned normally would leave the caller believing the channel open.
void TClientSocket::failLookup(int code, bool noAddress) {
  const int reported = code;
  RaiseEvent(OnError, this, socket_, TErrorEvent::eeLookup, code);
  if (noAddress) throw NoAddressSpecified();
  throw SocketApiError(code != 0 ? code : reported, "ASync Lookup");
}

void TClientSocket::deactivate() {
  if (socket_.Connected())
    socket_.closeConnection();
  else
    socket_.closeQuietly();
  active_ = false;
}

void TClientSocket::changeText(QString& property, const QString& value) {
  if (property.compare(value, Qt::CaseInsensitive) == 0) return;
  if (active_) throw CantChangeWhileActive();
  property = value;
}

void TClientSocket::setAddress(const QString& address) { changeText(address_, address); }

void TClientSocket::setHost(const QString& host) { changeText(host_, host); }

void TClientSocket::setService(const QString& service) { changeText(service_, service); }

void TClientSocket::setPort(int port) {
  if (port == port_) return;
  if (active_) throw CantChangeWhileActive();
  port_ = port;
}

void TClientSocket::socketConnected(TCustomWinSocket& socket) {
  active_ = true;
  RaiseEvent(OnConnect, this, socket);
}

void TClientSocket::socketRead(TCustomWinSocket& socket) { RaiseEvent(OnRead, this, socket); }

void TClientSocket::socketWrite(TCustomWinSocket& socket) { RaiseEvent(OnWrite, this, socket); }

void TClientSocket::socketDisconnecting(TCustomWinSocket& socket) {
  active_ = false;
  RaiseEvent(OnDisconnect, this, socket);
}

void TClientSocket::socketError(TCustomWinSocket& socket, TErrorEvent event, int& code) {
  RaiseEvent(OnError, this, socket, event, code);
}

void TClientSocket::socketClosed(TCustomWinSocket&) {}

void TClientSocket::socketUnhandledError(const QString& message) {
  if (OnUnhandledError)
    OnUnhandledError(message);
  else
    qWarning("%s", qUtf8Printable(message));
}

}  // namespace channels
