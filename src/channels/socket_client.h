#pragma once
// TClientSocket: the non-blocking TCP/IPv4 client component. It owns one connection object
// (Socket()) and raises its events with itself as the sender.
//
// Activation (setActive(true)) runs OnLookup and OnConnecting inside the call and starts the
// connect; OnConnect (or OnError with eeConnect) follows later from the event loop. Active reads
// true from just before OnConnect until just before OnDisconnect. setActive(false) closes a
// connection (raising OnDisconnect) and also cancels an attempt still pending, without events.
//
// Errors of calls the program makes (setActive, the setters) are thrown as ESocketError. An
// activation that cannot start a connection attempt always fails to its caller, even when the
// OnError handler cleared the code: otherwise the caller would take the channel for open. Errors
// raised while a notification is handled go to OnUnhandledError and never reach the event loop.
//
// Address is dotted IPv4 text; no name lookup is done, so a non-empty Host or Service fails as
// a lookup error (eeLookup). Only the low 16 bits of Port are used.
//
// Threads: GUI thread only.

#include <QObject>
#include <QString>

#include "channels/socket_connection.h"
#include "channels/socket_events.h"

namespace channels {

class TClientSocket : public QObject, private SocketEventSink {
  Q_OBJECT
 public:
  explicit TClientSocket(QObject* parent = nullptr);
  ~TClientSocket() override;

  bool Active() const { return active_; }
  void setActive(bool active);
  QString Address() const { return address_; }
  void setAddress(const QString& address);
  QString Host() const { return host_; }
  void setHost(const QString& host);
  int Port() const { return port_; }
  void setPort(int port);
  QString Service() const { return service_; }
  void setService(const QString& service);
  TClientWinSocket& Socket() { return socket_; }

  TSocketNotifyEvent OnLookup, OnConnecting, OnConnect, OnDisconnect, OnRead, OnWrite;
  TSocketErrorEvent OnError;
  TUnhandledErrorEvent OnUnhandledError;

 private:
  void activate();
  void deactivate();
  void failLookup(int code, bool noAddress);
  void changeText(QString& property, const QString& value);

  void socketConnected(TCustomWinSocket& socket) override;
  void socketRead(TCustomWinSocket& socket) override;
  void socketWrite(TCustomWinSocket& socket) override;
  void socketDisconnecting(TCustomWinSocket& socket) override;
  void socketError(TCustomWinSocket& socket, TErrorEvent event, int& code) override;
  void socketClosed(TCustomWinSocket& socket) override;
  void socketUnhandledError(const QString& message) override;

  bool active_ = false;
  QString address_;
  QString host_;
  QString service_;
  int port_ = 0;
  TClientWinSocket socket_{*this};
};

}  // namespace channels
