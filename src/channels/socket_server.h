#pragma once
// TServerSocket: the non-blocking TCP/IPv4 server component. It listens on every local IPv4
// interface (backlog 5) on the low 16 bits of Port and keeps the accepted connections in its
// listener's list (Socket()), in order of acceptance.
//
// Events: OnListen inside setActive(true), with the listener as `socket` (the listener is no
// connection, so the event has its own type); per accepted connection OnClientConnect then
// OnAccept while the one accept notification is handled; then OnClientRead, OnClientWrite,
// OnClientDisconnect (orderly close) or OnClientError. Deactivation closes every connection
// without OnClientDisconnect, then the listener.
//
// Invariants:
// - The list holds only live connections: one that closes leaves it at once, so a loop
//   `for (i = 0; i < ConnectionCount(); ++i) ConnectionAt(i)->...` stops at the first entry
//   that no longer exists, even when a send inside it closed the whole server.
// - A closed connection object is released only after every call and event running on it has
//   returned (deleteLater); handlers may deactivate the server from inside any event.
// - Errors of setActive and setPort are thrown as ESocketError; errors raised while a
//   notification is handled go to OnUnhandledError.
//
// Threads: GUI thread only.

#include <QObject>
#include <vector>

#include "channels/socket_connection.h"
#include "channels/socket_events.h"
#include "platform/unique_fd.h"

class QSocketNotifier;

namespace channels {

class TServerWinSocket {
 public:
  int ConnectionCount() const { return static_cast<int>(connections_.size()); }
  // nullptr outside 0..ConnectionCount()-1.
  TCustomWinSocket* ConnectionAt(int index) const;
  // The port the listener is bound to (useful with Port 0); 0 when not listening.
  int LocalPort() const;

 private:
  friend class TServerSocket;

  platform::UniqueFd fd_;
  QSocketNotifier* acceptNotifier_ = nullptr;
  uint64_t generation_ = 0;  // bumped on every close, so an event can tell it was closed
  std::vector<TCustomWinSocket*> connections_;
};

class TServerSocket : public QObject, private SocketEventSink {
  Q_OBJECT
 public:
  explicit TServerSocket(QObject* parent = nullptr);
  ~TServerSocket() override;

  bool Active() const { return active_; }
  void setActive(bool active);
  int Port() const { return port_; }
  void setPort(int port);
  TServerWinSocket& Socket() { return listener_; }

  TListenEvent OnListen;
  TSocketNotifyEvent OnAccept, OnClientConnect, OnClientDisconnect, OnClientRead, OnClientWrite;
  TSocketErrorEvent OnClientError;
  TUnhandledErrorEvent OnUnhandledError;

 private:
  void activate();
  void deactivate();
  void closeListener();
  void acceptPending();
  void pauseAccepting();
  void forget(TCustomWinSocket& socket);

  void socketConnected(TCustomWinSocket& socket) override;
  void socketRead(TCustomWinSocket& socket) override;
  void socketWrite(TCustomWinSocket& socket) override;
  void socketDisconnecting(TCustomWinSocket& socket) override;
  void socketError(TCustomWinSocket& socket, TErrorEvent event, int& code) override;
  void socketClosed(TCustomWinSocket& socket) override;
  void socketUnhandledError(const QString& message) override;

  static constexpr int kAcceptRetryMs = 100;  // rest of the listener when out of descriptors
  bool active_ = false;
  int port_ = 0;
  TServerWinSocket listener_;
};

}  // namespace channels
