// TClientSocket over loopback: event order, connect failures, activation errors, properties and
// the operations of its connection.
#include <cerrno>
#include <cstring>

#include "socket_test_support.h"

namespace {

using channels::ESocketError;
using channels::TClientSocket;
using channels::TCustomWinSocket;
using socket_test::ClientRecorder;
using socket_test::WaitFor;
using testing_support::FreeLoopbackPort;
using testing_support::LoopbackListener;
using testing_support::LoopbackPeer;

struct ConnectedClient {
  explicit ConnectedClient(int port = FreeLoopbackPort())
      : listener(port), recorder(client), peer(activateAndAccept(port)) {
    EXPECT_TRUE(peer.valid());
    EXPECT_TRUE(WaitFor([&] { return recorder.events.contains("Write"); }));
  }
  LoopbackPeer activateAndAccept(int port) {
    client.setAddress(QStringLiteral("127.0.0.1"));
    client.setPort(port);
    client.setActive(true);
    return listener.accept();
  }
  LoopbackListener listener;
  TClientSocket client;
  ClientRecorder recorder;
  LoopbackPeer peer;
};

QString ThrownMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const ESocketError& error) {
    return error.message();
  }
  return QString();
}

TEST(ClientSocket, RaisesLookupAndConnectingInsideActivationThenConnectWriteReadDisconnect) {
  const int port = FreeLoopbackPort();
  LoopbackListener listener(port);
  TClientSocket client;
  ClientRecorder recorder(client);
  bool activeAtConnect = false;
  client.OnConnect = [&](QObject* sender, TCustomWinSocket& socket) {
    recorder.events << "Connect";
    activeAtConnect = client.Active() && socket.Connected() && sender == &client;
  };
  QByteArray received;
  client.OnRead = [&](QObject*, TCustomWinSocket& socket) {
    recorder.events << "Read";
    received += socket.ReceiveAllText();
  };
  bool activeAtDisconnect = true;
  QString peerAtDisconnect;
  client.OnDisconnect = [&](QObject*, TCustomWinSocket& socket) {
    recorder.events << "Disconnect";
    activeAtDisconnect = client.Active();
    peerAtDisconnect = socket.PeerAddress();
  };
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(port);

  client.setActive(true);
  EXPECT_EQ(recorder.events, QStringList({"Lookup", "Connecting"}));
  EXPECT_FALSE(client.Active());

  ASSERT_TRUE(WaitFor([&] { return recorder.events.contains("Write"); }));
  EXPECT_TRUE(activeAtConnect);
  LoopbackPeer peer = listener.accept();
  peer.write("abc");
  ASSERT_TRUE(WaitFor([&] { return received == "abc"; }));
  EXPECT_EQ(client.Socket().PeerAddress(), QStringLiteral("127.0.0.1"));
  peer.close();
  ASSERT_TRUE(WaitFor([&] { return recorder.events.contains("Disconnect"); }));

  EXPECT_EQ(recorder.events,
            QStringList({"Lookup", "Connecting", "Connect", "Write", "Read", "Disconnect"}));
  EXPECT_FALSE(activeAtDisconnect);
  EXPECT_EQ(peerAtDisconnect, QStringLiteral("127.0.0.1"));
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.Socket().SendBytes("after"), 0);
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

TEST(ClientSocket, RefusedConnectionRaisesAConnectErrorWhichAClearedCodeKeepsQuiet) {
  const int before = socket_test::OpenDescriptorCount();
  TClientSocket client;
  ClientRecorder recorder(client);
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(FreeLoopbackPort());
  client.setActive(true);

  ASSERT_TRUE(WaitFor([&] { return recorder.events.size() == 3; }));
  socket_test::RunEventLoopFor(50);
  EXPECT_EQ(recorder.events, QStringList({"Lookup", "Connecting",
                                          QStringLiteral("Error eeConnect %1").arg(ECONNREFUSED)}));
  EXPECT_TRUE(recorder.unhandled.isEmpty());
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(socket_test::OpenDescriptorCount(), before);  // the failed attempt's socket is closed

  // A new attempt starts cleanly after the failed one.
  LoopbackListener listener(client.Port());
  client.setActive(true);
  EXPECT_TRUE(WaitFor([&] { return client.Active(); }));
}

TEST(ClientSocket, RefusedConnectionWithTheCodeLeftReportsAnAsynchronousSocketError) {
  TClientSocket client;
  ClientRecorder recorder(client);
  recorder.clearErrors = false;
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(FreeLoopbackPort());
  client.setActive(true);
  ASSERT_TRUE(WaitFor([&] { return !recorder.unhandled.isEmpty(); }));
  EXPECT_EQ(recorder.unhandled,
            QStringList({QStringLiteral("Asynchronous socket error %1").arg(ECONNREFUSED)}));
  EXPECT_FALSE(recorder.events.contains("Connect"));
  EXPECT_FALSE(client.Active());
}

TEST(ClientSocket, ActivationWithoutAddressFailsInTheCallEvenWhenTheHandlerClearsTheCode) {
  for (const bool clear : {true, false}) {
    TClientSocket client;
    ClientRecorder recorder(client);
    recorder.clearErrors = clear;
    client.setPort(FreeLoopbackPort());
    EXPECT_EQ(ThrownMessage([&] { client.setActive(true); }),
              QStringLiteral("No address specified"));
    EXPECT_EQ(recorder.events, QStringList({"Lookup", "Error eeLookup 1110"}));
    EXPECT_FALSE(client.Active());
    EXPECT_FALSE(client.Socket().Connected());
  }
}

TEST(ClientSocket, HostNamesAreNotLookedUpAndNonDottedAddressesFailToConnect) {
  TClientSocket client;
  ClientRecorder recorder(client);
  client.setPort(FreeLoopbackPort());
  client.setHost(QStringLiteral("localhost"));
  EXPECT_TRUE(ThrownMessage([&] { client.setActive(true); }).endsWith("on API 'ASync Lookup'"));
  EXPECT_EQ(recorder.events.filter("Error eeLookup").size(), 1);
  EXPECT_FALSE(client.Active());

  client.setHost(QString());
  client.setAddress(QStringLiteral("localhost"));
  recorder.events.clear();
  EXPECT_EQ(ThrownMessage([&] { client.setActive(true); }),
            QStringLiteral("Windows socket error: %1 (%2), on API 'connect'")
                .arg(QString::fromLocal8Bit(std::strerror(EINVAL)))
                .arg(EINVAL));
  EXPECT_EQ(recorder.events, QStringList({"Lookup", "Connecting"}));
  EXPECT_FALSE(client.Active());
}

TEST(ClientSocket, PropertiesRefuseChangesWhileActiveButAcceptTheSameValue) {
  ConnectedClient connected;
  TClientSocket& client = connected.client;
  ASSERT_TRUE(client.Active());
  const QString refused = QStringLiteral("Can't change value while socket is active");
  EXPECT_EQ(ThrownMessage([&] { client.setPort(client.Port() + 1); }), refused);
  EXPECT_EQ(ThrownMessage([&] { client.setAddress(QStringLiteral("127.0.0.2")); }), refused);
  EXPECT_EQ(ThrownMessage([&] { client.setHost(QStringLiteral("x")); }), refused);
  EXPECT_EQ(ThrownMessage([&] { client.setService(QStringLiteral("x")); }), refused);
  EXPECT_EQ(ThrownMessage([&] {
              client.setPort(client.Port());
              client.setAddress(QStringLiteral("127.0.0.1"));
              client.setHost(QString());
            }),
            QString());
  EXPECT_TRUE(client.Active());
}

TEST(ClientSocket, PortAbove65535ActsAsItsLow16Bits) {
  const int port = FreeLoopbackPort();
  LoopbackListener listener(port);
  TClientSocket client;
  ClientRecorder recorder(client);
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(65536 + port);
  client.setActive(true);
  EXPECT_TRUE(WaitFor([&] { return client.Active(); }));
  EXPECT_EQ(client.Port(), 65536 + port);
  EXPECT_TRUE(listener.accept().valid());
}

TEST(ClientSocket, OperationsOnANotConnectedSocketDoNothing) {
  TClientSocket client;
  ClientRecorder recorder(client);
  TCustomWinSocket& socket = client.Socket();
  char buffer[4];
  EXPECT_EQ(socket.SendBytes("abc"), 0);
  EXPECT_EQ(socket.SendString("abc"), 0);
  EXPECT_EQ(socket.PendingLength(), 0);
  EXPECT_EQ(socket.ReceiveBytes(buffer, sizeof buffer), 0);
  EXPECT_TRUE(socket.ReceiveAllText().isEmpty());
  EXPECT_TRUE(socket.PeerAddress().isEmpty());
  EXPECT_TRUE(recorder.events.isEmpty());
}

TEST(ClientSocket, ReceivedDataKeepsEveryByteIncludingZeros) {
  ConnectedClient connected;
  QByteArray received;
  connected.client.OnRead = [&](QObject*, TCustomWinSocket& socket) {
    received += socket.ReceiveAllText();
  };
  const QByteArray bytes("a\0b\0\xff", 5);
  connected.peer.write(bytes);
  ASSERT_TRUE(WaitFor([&] { return received.size() == bytes.size(); }));
  EXPECT_EQ(received, bytes);
}

TEST(ClientSocket, AHandlerThatLeavesBytesPendingGetsNoFurtherReadUntilItReads) {
  ConnectedClient connected;
  int reads = 0;
  connected.client.OnRead = [&](QObject*, TCustomWinSocket&) { ++reads; };
  connected.peer.write("x");
  ASSERT_TRUE(WaitFor([&] { return reads == 1; }));
  socket_test::RunEventLoopFor(100);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(connected.client.Socket().ReceiveAllText(), "x");
  connected.peer.write("y");
  EXPECT_TRUE(WaitFor([&] { return reads == 2; }));
}

TEST(ClientSocket, DeactivatingRaisesDisconnectInTheCallAndSendsGoNowhereAfterwards) {
  ConnectedClient connected;
  connected.recorder.events.clear();
  connected.client.setActive(false);
  EXPECT_EQ(connected.recorder.events, QStringList({"Disconnect"}));
  EXPECT_FALSE(connected.client.Active());
  EXPECT_EQ(connected.client.Socket().SendBytes("abc"), 0);
  EXPECT_TRUE(connected.peer.read(1).isEmpty());  // end of stream at the peer
}

TEST(ClientSocket, DeactivatingCancelsAPendingAttemptWithoutEvents) {
  TClientSocket client;
  ClientRecorder recorder(client);
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(FreeLoopbackPort());
  client.setActive(true);
  client.setActive(false);
  socket_test::RunEventLoopFor(50);
  EXPECT_EQ(recorder.events, QStringList({"Lookup", "Connecting"}));
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

}  // namespace
