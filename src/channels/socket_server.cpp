#include "channels/socket_server.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>

#include "platform/socket_bsd.h"

namespace channels {

namespace {

constexpr int kListenBacklog = 5;

}  // namespace

TCustomWinSocket* TServerWinSocket::ConnectionAt(int index) const {
  if (index < 0 || index >= ConnectionCount()) return nullptr;
  return connections_[static_cast<size_t>(index)];
}

int TServerWinSocket::LocalPort() const {
  if (!fd_.valid()) return 0;
  return platform::localPort(fd_.get()).value_or(0);
}

TServerSocket::TServerSocket(QObject* parent) : QObject(parent) {}

// The connection objects are children of the component and go with it.
TServerSocket::~TServerSocket() { deactivate(); }

void TServerSocket::setActive(bool active) {
  if (active == active_) return;
  if (!active) {
    deactivate();
    return;
  }
  if (listener_.fd_.valid()) throw CantListenOnOpenSocket();
  try {
    activate();
  } catch (...) {
    // A failure during activation (a handler's as well) leaves nothing listening.
    closeListener();
    active_ = false;
    throw;
  }
}

void TServerSocket::setPort(int port) {
  if (port == port_) return;
  if (active_) throw CantChangeWhileActive();
  port_ = port;
}

void TServerSocket::activate() {
  platform::NewSocket created = platform::createTcpSocket();
  if (!created.fd.valid()) throw CantCreateSocket();
  if (const auto failed =
          platform::bindAnyIpv4(created.fd.get(), static_cast<uint16_t>(port_ & 0xFFFF)))
    throw SocketApiError(failed->code, "bind");
  listener_.fd_ = std::move(created.fd);
  const uint64_t opened = listener_.generation_;

  active_ = true;
  RaiseEvent(OnListen, this, listener_);
  if (listener_.generation_ != opened) return;  // the handler deactivated the server
  if (const auto failed = platform::listenForConnections(listener_.fd_.get(), kListenBacklog))
    throw SocketApiError(failed->code, "listen");
  // Watched only once it listens: an unlistening socket polls as hung up.
  listener_.acceptNotifier_ = new QSocketNotifier(listener_.fd_.get(), QSocketNotifier::Read, this);
  connect(listener_.acceptNotifier_, &QSocketNotifier::activated, this,
          [this] { acceptPending(); });
}

void TServerSocket::deactivate() {
  // The list is emptied first, so a loop over it that runs on after this sees no entry.
  const std::vector<TCustomWinSocket*> connections = std::exchange(listener_.connections_, {});
  for (TCustomWinSocket* connection : connections) {
    connection->closeQuietly();
    connection->requestRelease();
  }
  closeListener();
  active_ = false;
}

void TServerSocket::closeListener() {
  ++listener_.generation_;
  if (listener_.acceptNotifier_) {
    listener_.acceptNotifier_->setEnabled(false);
    listener_.acceptNotifier_->deleteLater();  // it may be the one whose notification runs
    listener_.acceptNotifier_ = nullptr;
  }
  listener_.fd_.reset();
}

void TServerSocket::acceptPending() {
  platform::AcceptedSocket accepted = platform::acceptConnection(listener_.fd_.get());
  if (!accepted.fd.valid()) {
    // A peer that gave up before it was taken leaves nothing to do. Out of descriptors or
    // memory, the connection stays queued and the listener stays readable: listening on at
    // once would spin, so accepting rests a moment and tries again.
    const int code = accepted.error.code;
    if (code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM) pauseAccepting();
    return;
  }
  auto* connection = new TServerClientWinSocket(*this, this);
  connection->adoptAccepted(std::move(accepted.fd), accepted.peerAddress);
  listener_.connections_.push_back(connection);
  connection->deliver([&] {
    const uint64_t generation = connection->generation();
    RaiseEvent(OnClientConnect, this, *connection);
    if (connection->isCurrent(generation)) RaiseEvent(OnAccept, this, *connection);
  });
}

void TServerSocket::pauseAccepting() {
  listener_.acceptNotifier_->setEnabled(false);
  const uint64_t generation = listener_.generation_;
  QTimer::singleShot(kAcceptRetryMs, this, [this, generation] {
    if (listener_.generation_ == generation) listener_.acceptNotifier_->setEnabled(true);
  });
}

void TServerSocket::forget(TCustomWinSocket& socket) {
  auto& list = listener_.connections_;
  list.erase(std::remove(list.begin(), list.end(), &socket), list.end());
  socket.requestRelease();
}

// Accepted connections arrive connected; only a client's own connection completes a connect.
void TServerSocket::socketConnected(TCustomWinSocket&) {}

void TServerSocket::socketRead(TCustomWinSocket& socket) { RaiseEvent(OnClientRead, this, socket); }

void TServerSocket::socketWrite(TCustomWinSocket& socket) {
  RaiseEvent(OnClientWrite, this, socket);
}

void TServerSocket::socketDisconnecting(TCustomWinSocket& socket) {
  RaiseEvent(OnClientDisconnect, this, socket);
}

void TServerSocket::socketError(TCustomWinSocket& socket, TErrorEvent event, int& code) {
  RaiseEvent(OnClientError, this, socket, event, code);
}

void TServerSocket::socketClosed(TCustomWinSocket& socket) { forget(socket); }

void TServerSocket::socketUnhandledError(const QString& message) {
  if (OnUnhandledError)
    OnUnhandledError(message);
  else
    qWarning("%s", qUtf8Printable(message));
}

}  // namespace channels
