// TServerSocket over loopback: listening, accepting, the connection list, broadcasts, client
// failures, deactivation from inside events and descriptor hygiene.
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "socket_test_support.h"
#include "support/descriptors_taken.h"

namespace {

using channels::ESocketError;
using channels::TClientSocket;
using channels::TCustomWinSocket;
using channels::TServerSocket;
using channels::TServerWinSocket;
using socket_test::ConnectPeer;
using socket_test::ListenOnAnyPort;
using socket_test::ServerRecorder;
using socket_test::WaitFor;
using testing_support::LoopbackPeer;

// The broadcast of the senders: every entry from index 0, stopping at the first one gone.
int Broadcast(TServerSocket& server, QByteArrayView bytes) {
  int sends = 0;
  for (int i = 0; i < server.Socket().ConnectionCount(); ++i) {
    TCustomWinSocket* connection = server.Socket().ConnectionAt(i);
    if (!connection) break;
    connection->SendBytes(bytes);
    ++sends;
  }
  return sends;
}

TEST(ServerSocket, RaisesListenInsideActivationThenClientConnectAcceptReadAndDisconnect) {
  TServerSocket server;
  ServerRecorder recorder(server);
  bool activeAtListen = false;
  server.OnListen = [&](QObject* sender, TServerWinSocket&) {
    recorder.events << "Listen";
    activeAtListen = server.Active() && sender == &server;
  };
  QByteArray received;
  server.OnClientRead = [&](QObject*, TCustomWinSocket& socket) {
    recorder.events << "ClientRead";
    received += socket.ReceiveAllText();
  };
  const int port = ListenOnAnyPort(server);
  EXPECT_EQ(recorder.events, QStringList({"Listen"}));
  EXPECT_TRUE(activeAtListen);
  EXPECT_GT(port, 0);

  LoopbackPeer peer = ConnectPeer(server);
  EXPECT_EQ(recorder.events,
            QStringList({"Listen", "ClientConnect 127.0.0.1", "Accept 127.0.0.1"}));
  EXPECT_EQ(server.Socket().ConnectionAt(0)->PeerAddress(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(server.Socket().ConnectionAt(1), nullptr);
  EXPECT_EQ(server.Socket().ConnectionAt(-1), nullptr);

  peer.write("hi");
  ASSERT_TRUE(WaitFor([&] { return received == "hi"; }));
  peer.close();
  ASSERT_TRUE(WaitFor([&] { return recorder.count("ClientDisconnect") == 1; }));
  EXPECT_EQ(recorder.events.last(), QStringLiteral("ClientDisconnect 127.0.0.1"));
  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
  EXPECT_TRUE(server.Active());
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

TEST(ServerSocket, KeepsConnectionsInAcceptanceOrderAndBroadcastsToEachOfThem) {
  TServerSocket server;
  ServerRecorder recorder(server);
  ListenOnAnyPort(server);
  std::vector<LoopbackPeer> peers;
  for (int i = 0; i < 3; ++i) peers.push_back(ConnectPeer(server));

  // Entry i is the i-th accepted peer.
  for (int i = 0; i < 3; ++i) {
    const QByteArray mark = QByteArray::number(i);
    server.Socket().ConnectionAt(i)->SendString(mark);
    EXPECT_EQ(peers[i].read(1), mark);
  }
  EXPECT_EQ(Broadcast(server, "hello"), 3);
  for (const LoopbackPeer& peer : peers) EXPECT_EQ(peer.read(5), "hello");
}

TEST(ServerSocket, ClientThatResetsRaisesAClientErrorAndNoDisconnect) {
  TServerSocket server;
  ServerRecorder recorder(server);
  ListenOnAnyPort(server);
  LoopbackPeer peer = ConnectPeer(server);
  peer.reset();
  ASSERT_TRUE(WaitFor([&] { return recorder.count("ClientError") == 1; }));
  socket_test::RunEventLoopFor(50);
  EXPECT_EQ(recorder.events.last(), QStringLiteral("ClientError eeDisconnect %1").arg(ECONNRESET));
  EXPECT_EQ(recorder.count("ClientDisconnect"), 0);
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

TEST(ServerSocket, DeactivationClosesEveryClientWithoutClientDisconnect) {
  TServerSocket server;
  ServerRecorder recorder(server);
  ListenOnAnyPort(server);
  LoopbackPeer first = ConnectPeer(server);
  LoopbackPeer second = ConnectPeer(server);

  server.setActive(false);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
  EXPECT_EQ(server.Socket().LocalPort(), 0);
  EXPECT_TRUE(first.read(1).isEmpty());  // end of stream
  EXPECT_TRUE(second.read(1).isEmpty());
  socket_test::RunEventLoopFor(50);
  EXPECT_EQ(recorder.count("ClientDisconnect"), 0);
}

TEST(ServerSocket, PortInUseMakesActivationThrowAndLeavesTheServerInactive) {
  TServerSocket first;
  const int port = ListenOnAnyPort(first);
  TServerSocket second;
  ServerRecorder recorder(second);
  second.setPort(port);
  QString message;
  try {
    second.setActive(true);
  } catch (const ESocketError& error) {
    message = error.message();
  }
  EXPECT_EQ(message, QStringLiteral("Windows socket error: %1 (%2), on API 'bind'")
                         .arg(QString::fromLocal8Bit(std::strerror(EADDRINUSE)))
                         .arg(EADDRINUSE));
  EXPECT_FALSE(second.Active());
  EXPECT_TRUE(recorder.events.isEmpty());

  second.setPort(0);  // the failed attempt left nothing open
  second.setActive(true);
  EXPECT_TRUE(second.Active());
}

TEST(ServerSocket, AnErrorThrownByTheListenHandlerLeavesNothingListening) {
  const int before = socket_test::OpenDescriptorCount();
  TServerSocket server;
  server.OnListen = [](QObject*, TServerWinSocket&) { throw ESocketError(QStringLiteral("no")); };
  EXPECT_THROW(server.setActive(true), ESocketError);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(socket_test::OpenDescriptorCount(), before);
}

TEST(ServerSocket, PortAbove65535ActsAsItsLow16Bits) {
  TServerSocket probe;
  const int port = ListenOnAnyPort(probe);
  probe.setActive(false);
  TServerSocket server;
  server.setPort(65536 * 3 + port);
  server.setActive(true);
  EXPECT_EQ(server.Socket().LocalPort(), port);
  EXPECT_EQ(server.Port(), 65536 * 3 + port);
}

TEST(ServerSocket, ReadNotificationWithNothingPendingChangesNothing) {
  TServerSocket server;
  ServerRecorder recorder(server);
  ListenOnAnyPort(server);
  LoopbackPeer peer = ConnectPeer(server);
  socket_test::RunEventLoopFor(20);
  recorder.events.clear();

  TCustomWinSocket* connection = server.Socket().ConnectionAt(0);
  int readNotifiers = 0;
  for (QSocketNotifier* notifier : connection->findChildren<QSocketNotifier*>()) {
    if (notifier->type() != QSocketNotifier::Read) continue;
    ++readNotifiers;
    QEvent activation(QEvent::SockAct);
    QCoreApplication::sendEvent(notifier, &activation);
  }
  EXPECT_EQ(readNotifiers, 1);
  EXPECT_TRUE(recorder.events.isEmpty());
  EXPECT_TRUE(connection->Connected());
  EXPECT_EQ(server.Socket().ConnectionCount(), 1);
}

TEST(ServerSocket, OutOfDescriptorsRestsTheListenerAndAcceptsOnceOneIsFree) {
  TServerSocket server;
  ServerRecorder recorder(server);
  const int port = ListenOnAnyPort(server);
  int listenerNotifications = 0;
  for (QSocketNotifier* notifier : server.findChildren<QSocketNotifier*>())
    QObject::connect(notifier, &QSocketNotifier::activated, [&] { ++listenerNotifications; });
  LoopbackPeer peer = LoopbackPeer::Connect(port);  // queued by the kernel, not yet accepted
  ASSERT_TRUE(peer.valid());

  // Every descriptor the limit allows is taken, so the accept fails with EMFILE.
  testing_support::DescriptorsTaken taken;
  ASSERT_TRUE(taken.exhausted());
  socket_test::RunEventLoopFor(300);
  taken.release();

  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
  EXPECT_GE(listenerNotifications, 1);
  EXPECT_LE(listenerNotifications, 10);  // a few tries, not a spin
  EXPECT_TRUE(WaitFor([&] { return server.Socket().ConnectionCount() == 1; }));
  EXPECT_TRUE(recorder.events.contains("Accept 127.0.0.1"));
}

TEST(ServerSocket, ClosingTheServerFromAClientResetErrorIsSafe) {
  TServerSocket server;
  ServerRecorder recorder(server);
  server.OnClientError = [&](QObject*, TCustomWinSocket& socket, channels::TErrorEvent, int& code) {
    recorder.events << QStringLiteral("ClientError ") + socket.PeerAddress();
    code = 0;
    server.setActive(false);
  };
  ListenOnAnyPort(server);
  LoopbackPeer failing = ConnectPeer(server);
  LoopbackPeer other = ConnectPeer(server);
  failing.reset();
  ASSERT_TRUE(WaitFor([&] { return !server.Active(); }));
  socket_test::RunEventLoopFor(50);
  socket_test::RunDeferredDeletes();
  EXPECT_EQ(recorder.count("ClientError"), 1);
  EXPECT_EQ(recorder.count("ClientDisconnect"), 0);
  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
  EXPECT_TRUE(other.read(1).isEmpty());
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

// The main window's error handler clears the code and closes the whole server from inside the
// send of a broadcast; modal boxes run nested event loops around that.
TEST(ServerSocket, ClosingTheServerFromAClientErrorDuringABroadcastStopsTheBroadcastSafely) {
  TServerSocket server;
  ServerRecorder recorder(server);
  int errors = 0;
  server.OnClientError = [&](QObject*, TCustomWinSocket& socket, channels::TErrorEvent event,
                             int& code) {
    ++errors;
    EXPECT_EQ(event, channels::TErrorEvent::eeSend);
    EXPECT_EQ(socket.PeerAddress(), QStringLiteral("127.0.0.1"));
    code = 0;
    server.setActive(false);
    socket_test::RunEventLoopFor(20);  // a nested loop, which also runs deferred deletions
  };
  ListenOnAnyPort(server);
  std::vector<LoopbackPeer> peers;  // they never read
  for (int i = 0; i < 3; ++i) peers.push_back(ConnectPeer(server));

  const QByteArray message(1024 * 1024, 'm');
  int round = 0;
  int lastSends = 0;
  while (server.Active() && round++ < 200) lastSends = Broadcast(server, message);
  socket_test::RunDeferredDeletes();

  EXPECT_FALSE(server.Active());
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(lastSends, 1);  // the first entry failed; the loop found no second one
  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
  EXPECT_EQ(recorder.count("ClientDisconnect"), 0);
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

TEST(ServerSocket, ThousandClientsConnectingAndLeavingLeaveNoDescriptorOpen) {
  const int before = socket_test::OpenDescriptorCount();
  TServerSocket server;
  ServerRecorder recorder(server);
  const int port = ListenOnAnyPort(server);
  // Batches no larger than the backlog, so no connection waits for a SYN retry.
  std::vector<std::unique_ptr<TClientSocket>> clients;
  for (int i = 0; i < 5; ++i) {
    clients.push_back(std::make_unique<TClientSocket>());
    clients.back()->setAddress(QStringLiteral("127.0.0.1"));
    clients.back()->setPort(port);
  }
  for (int batch = 0; batch < 200; ++batch) {
    for (auto& client : clients) client->setActive(true);
    ASSERT_TRUE(WaitFor([&] { return server.Socket().ConnectionCount() == 5; })) << batch;
    ASSERT_TRUE(WaitFor([&] {
      return std::all_of(clients.begin(), clients.end(), [](auto& c) { return c->Active(); });
    })) << batch;
    for (auto& client : clients) client->setActive(false);
    ASSERT_TRUE(WaitFor([&] { return server.Socket().ConnectionCount() == 0; })) << batch;
  }
  socket_test::RunDeferredDeletes();
  EXPECT_EQ(recorder.count("Accept"), 1000);
  EXPECT_EQ(recorder.count("ClientDisconnect"), 1000);
  EXPECT_EQ(socket_test::OpenDescriptorCount(), before + 1);  // the listener
  EXPECT_EQ(server.findChildren<TCustomWinSocket*>().size(), 0);
  server.setActive(false);
  EXPECT_EQ(socket_test::OpenDescriptorCount(), before);
}

}  // namespace
