// Large transfers through a connection: what the system does not take at once is queued and
// sent in order as the peer reads; a peer that never reads runs into the queue's limit.
#include <cerrno>
#include <cstring>

#include "socket_test_support.h"

namespace {

using channels::ESocketError;
using channels::TClientSocket;
using channels::TCustomWinSocket;
using channels::TServerSocket;
using socket_test::ListenOnAnyPort;
using socket_test::ServerRecorder;
using socket_test::WaitFor;

QByteArray Pattern(qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST(SocketTransfer, An8MiBMessageToASlowReaderArrivesWholeAndInOrder) {
  TServerSocket server;
  ServerRecorder recorder(server);
  const QByteArray message = Pattern(8 * 1024 * 1024);
  int accepted = 0;
  qsizetype queuedAfterSend = 0;
  int writesAfterSend = 0;
  server.OnAccept = [&](QObject*, TCustomWinSocket& socket) {
    ++accepted;
    EXPECT_EQ(socket.SendBytes(message), message.size());
    queuedAfterSend = socket.QueuedLength();
  };
  server.OnClientWrite = [&](QObject*, TCustomWinSocket&) { ++writesAfterSend; };
  const int port = ListenOnAnyPort(server);

  // The reader takes at most 16 KiB per read notification.
  TClientSocket client;
  QByteArray received;
  client.OnRead = [&](QObject*, TCustomWinSocket& socket) {
    char buffer[16 * 1024];
    const int count = socket.ReceiveBytes(buffer, sizeof buffer);
    if (count > 0) received.append(buffer, count);
  };
  client.setAddress(QStringLiteral("127.0.0.1"));
  client.setPort(port);
  client.setActive(true);

  ASSERT_TRUE(WaitFor([&] { return received.size() >= message.size(); }, 20000));
  EXPECT_EQ(accepted, 1);
  EXPECT_GT(queuedAfterSend, 0);  // the system did not take it all at once: the queue was used
  EXPECT_TRUE(received == message);
  ASSERT_TRUE(WaitFor([&] { return server.Socket().ConnectionAt(0)->QueuedLength() == 0; }));
  EXPECT_TRUE(WaitFor([&] { return writesAfterSend >= 1; }));
  EXPECT_TRUE(recorder.unhandled.isEmpty());
}

TEST(SocketTransfer, MessagesQueuedBehindEachOtherKeepTheirOrder) {
  TServerSocket server;
  ServerRecorder recorder(server);
  ListenOnAnyPort(server);
  testing_support::LoopbackPeer peer = socket_test::ConnectPeer(server);
  TCustomWinSocket& connection = *server.Socket().ConnectionAt(0);

  QByteArray sent;
  for (int i = 0; i < 64; ++i) {
    const QByteArray chunk = Pattern(64 * 1024 + i).mid(i);
    EXPECT_EQ(connection.SendBytes(chunk), chunk.size());
    sent += chunk;
  }
  EXPECT_GT(connection.QueuedLength(), 0);
  QByteArray received;
  ASSERT_TRUE(WaitFor([&] {
    received += peer.read(sent.size() - received.size(), std::chrono::milliseconds(5));
    return received.size() >= sent.size();
  }));
  EXPECT_TRUE(received == sent);
}

TEST(SocketTransfer, APeerThatNeverReadsFillsTheQueueToItsLimitAndRaisesASendError) {
  TServerSocket server;
  ServerRecorder recorder(server);
  recorder.clearErrors = false;
  ListenOnAnyPort(server);
  testing_support::LoopbackPeer peer = socket_test::ConnectPeer(server);
  TCustomWinSocket* connection = server.Socket().ConnectionAt(0);

  const QByteArray chunk(1024 * 1024, 'q');
  QString thrown;
  qsizetype largestQueue = 0;
  for (int i = 0; i < 256 && thrown.isEmpty(); ++i) {
    try {
      connection->SendBytes(chunk);
      largestQueue = std::max(largestQueue, connection->QueuedLength());
    } catch (const ESocketError& error) {
      thrown = error.message();
    }
  }
  EXPECT_EQ(thrown, QStringLiteral("Windows socket error: %1 (%2), on API 'send'")
                        .arg(QString::fromLocal8Bit(std::strerror(ENOBUFS)))
                        .arg(ENOBUFS));
  EXPECT_LE(largestQueue, TCustomWinSocket::kSendQueueLimit);
  EXPECT_GT(largestQueue, TCustomWinSocket::kSendQueueLimit - chunk.size());
  EXPECT_EQ(recorder.count(QStringLiteral("ClientError eeSend %1").arg(ENOBUFS)), 1);
  // A failed send closes the connection, which raises its disconnect and leaves the list.
  EXPECT_EQ(recorder.count("ClientDisconnect"), 1);
  EXPECT_EQ(server.Socket().ConnectionCount(), 0);
}

}  // namespace
