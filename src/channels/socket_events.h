#pragma once
// The event types of the socket components and the interface through which a connection object
// reports its notifications to the component that owns it. The component turns each report
// into its own event (OnRead for the client, OnClientRead for the server, ...), with itself as
// the sender.
//
// Threads: everything runs on the GUI thread, called from the event loop or from a call the
// program made.

#include <QObject>
#include <QString>
#include <functional>

#include "channels/socket_errors.h"

namespace channels {

class TCustomWinSocket;
class TServerWinSocket;

using TSocketNotifyEvent = std::function<void(QObject* sender, TCustomWinSocket& socket)>;
using TSocketErrorEvent = std::function<void(QObject* sender, TCustomWinSocket& socket,
                                             TErrorEvent errorEvent, int& errorCode)>;
// The listener is no connection (it neither sends nor receives), so OnListen has its own type.
using TListenEvent = std::function<void(QObject* sender, TServerWinSocket& socket)>;
using TUnhandledErrorEvent = std::function<void(const QString& message)>;

class SocketEventSink {
 public:
  virtual void socketConnected(TCustomWinSocket& socket) = 0;  // a connect attempt succeeded
  virtual void socketRead(TCustomWinSocket& socket) = 0;
  virtual void socketWrite(TCustomWinSocket& socket) = 0;
  // The connection is closing; it still counts as connected.
  virtual void socketDisconnecting(TCustomWinSocket& socket) = 0;
  virtual void socketError(TCustomWinSocket& socket, TErrorEvent event, int& code) = 0;
  // The connection has closed (its socket is gone); the owner may release it.
  virtual void socketClosed(TCustomWinSocket& socket) = 0;
  // An error raised while a notification was handled: it must not reach the event loop.
  virtual void socketUnhandledError(const QString& message) = 0;

 protected:
  ~SocketEventSink() = default;
};

// Calls a notify or error event when a handler is assigned.
template <typename Event, typename... Args>
void RaiseEvent(const Event& event, Args&&... args) {
  if (event) event(std::forward<Args>(args)...);
}

}  // namespace channels
