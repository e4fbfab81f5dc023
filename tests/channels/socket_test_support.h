#pragma once
// Helpers for the socket layer's tests: waiting for events with a generous bound, a record of
// the events a component raised, and a count of this process's open descriptors.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

#include "channels/socket_client.h"
#include "channels/socket_server.h"
#include "support/loopback_peer.h"

namespace socket_test {

constexpr int kBoundMs = 5000;

// Runs the event loop until `condition` holds; false when the bound ran out first. Unlike
// QTest::qWaitFor it does not sleep between rounds, so a wait ends as soon as its event came.
inline bool WaitFor(const std::function<bool()>& condition, int boundMs = kBoundMs) {
  const QDeadlineTimer deadline(boundMs);
  QTimer wakeUp;  // ends every wait for events now and then, so the bound is honoured
  wakeUp.start(50);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Lets the event loop run for a while when a test checks that nothing happens.
inline void RunEventLoopFor(int ms) { QTest::qWait(ms); }

// Runs the pending deferred deletions (released connection objects).
inline void RunDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline int OpenDescriptorCount() { return QDir(QStringLiteral("/proc/self/fd")).count(); }

inline const char* ErrorEventName(channels::TErrorEvent event) {
  using channels::TErrorEvent;
  switch (event) {
    case TErrorEvent::eeGeneral:
      return "eeGeneral";
    case TErrorEvent::eeSend:
      return "eeSend";
    case TErrorEvent::eeReceive:
      return "eeReceive";
    case TErrorEvent::eeConnect:
      return "eeConnect";
    case TErrorEvent::eeDisconnect:
      return "eeDisconnect";
    case TErrorEvent::eeAccept:
      return "eeAccept";
    case TErrorEvent::eeLookup:
      return "eeLookup";
  }
  return "?";
}

// Every event of a client component as one line, e.g. "Connect" or "Error eeConnect 111".
struct ClientRecorder {
  explicit ClientRecorder(channels::TClientSocket& client) {
    auto note = [this](const char* name) {
      return [this, name](QObject*, channels::TCustomWinSocket&) { events << name; };
    };
    client.OnLookup = note("Lookup");
    client.OnConnecting = note("Connecting");
    client.OnConnect = note("Connect");
    client.OnDisconnect = note("Disconnect");
    client.OnRead = note("Read");
    client.OnWrite = note("Write");
    client.OnError = [this](QObject*, channels::TCustomWinSocket&, channels::TErrorEvent event,
                            int& code) {
      events << QStringLiteral("Error %1 %2").arg(ErrorEventName(event)).arg(code);
      if (clearErrors) code = 0;
    };
    client.OnUnhandledError = [this](const QString& message) { unhandled << message; };
  }
  QStringList events;
  QStringList unhandled;
  bool clearErrors = true;
};

// Every event of a server component as one line; client events carry the peer's address.
struct ServerRecorder {
  explicit ServerRecorder(channels::TServerSocket& server) {
    auto note = [this](const char* name) {
      return [this, name](QObject*, channels::TCustomWinSocket& socket) {
        events << QStringLiteral("%1 %2").arg(QLatin1String(name), socket.PeerAddress());
      };
    };
    server.OnListen = [this](QObject*, channels::TServerWinSocket&) { events << "Listen"; };
    server.OnClientConnect = note("ClientConnect");
    server.OnAccept = note("Accept");
    server.OnClientDisconnect = note("ClientDisconnect");
    server.OnClientRead = note("ClientRead");
    server.OnClientError = [this](QObject*, channels::TCustomWinSocket&,
                                  channels::TErrorEvent event, int& code) {
      events << QStringLiteral("ClientError %1 %2").arg(ErrorEventName(event)).arg(code);
      if (clearErrors) code = 0;
    };
    server.OnUnhandledError = [this](const QString& message) { unhandled << message; };
  }
  int count(const QString& prefix) const { return events.filter(prefix).size(); }
  QStringList events;
  QStringList unhandled;
  bool clearErrors = true;
};

// A listening server on an ephemeral port.
inline int ListenOnAnyPort(channels::TServerSocket& server) {
  server.setPort(0);
  server.setActive(true);
  return server.Socket().LocalPort();
}

// A plain peer connected to `server`, once the server has accepted it.
inline testing_support::LoopbackPeer ConnectPeer(channels::TServerSocket& server) {
  const int before = server.Socket().ConnectionCount();
  testing_support::LoopbackPeer peer =
      testing_support::LoopbackPeer::Connect(server.Socket().LocalPort());
  EXPECT_TRUE(peer.valid());
  EXPECT_TRUE(WaitFor([&] { return server.Socket().ConnectionCount() == before + 1; }));
  return peer;
}

}  // namespace socket_test
