// The server channel under load while the window's continuous send broadcasts to every client:
// a thousand clients joining and leaving, clients resetting, and what is left afterwards.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <vector>

#include "channels/socket_test_support.h"
#include "main_window_fixture.h"

using socket_test::OpenDescriptorCount;
using socket_test::WaitFor;
using testing_support::FreeLoopbackPort;
using testing_support::LoopbackPeer;

namespace {

constexpr int kBatchSize = 5;  // the listen backlog: no connection waits for a SYN retry
constexpr int kSendIntervalMs = 1;
constexpr int kTicksPerStay = 3;  // sends each batch of clients takes before it leaves
const QByteArray kMessage = "load-0123456789;";

// True when `bytes` is the message sent over and over, possibly cut off in its last copy.
bool IsRepetitionStart(const QByteArray& bytes) {
  return bytes == kMessage.repeated(bytes.size() / kMessage.size() + 1).left(bytes.size());
}

// The server closed its end of the connection (its FIN came), read or not what it sent before.
bool ClosedByServer(const LoopbackPeer& peer) {
  pollfd p{peer.fd(), POLLRDHUP, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP)) != 0;
}

// Peers the test closed itself are not asked.
bool AllClosedByServer(const std::vector<LoopbackPeer>& peers) {
  return std::all_of(peers.begin(), peers.end(), [](const LoopbackPeer& peer) {
    return !peer.valid() || ClosedByServer(peer);
  });
}

std::vector<LoopbackPeer> ConnectBatch(int port) {
  std::vector<LoopbackPeer> batch;
  for (int i = 0; i < kBatchSize; ++i) batch.push_back(LoopbackPeer::Connect(port));
  return batch;
}

// An orderly leave that cannot race the broadcast: the client only stops sending, the server
// sees the end of its stream and closes the connection. Closing the client first would make its
// kernel answer bytes still arriving (or left unread) with a reset, which this program reports.
void StartLeaving(const std::vector<LoopbackPeer>& peers) {
  for (const LoopbackPeer& peer : peers) ::shutdown(peer.fd(), SHUT_WR);
}

class ServerLoadTest : public MainWindowTest {
 protected:
  int port = FreeLoopbackPort();
  int descriptorsBeforeOpen = 0;

  void startServerWindow() {
    comset().writeInteger("ComSet", "Style", 1);
    comset().writeInteger("ComSet", "SPort", port);
    comset().writeInteger("ComSet", "SendStyle", 1);  // the message goes out as typed
    start();
    ui().Memo2->setPlainText(QString::fromLatin1(kMessage));
    ui().txtInteval1->setValue(kSendIntervalMs);
    // The first paint starts Qt's drawing helper threads, each holding an event descriptor;
    // they stay, so the count is taken after it.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    descriptorsBeforeOpen = OpenDescriptorCount();
  }

  // Opens the channel and ticks the continuous send, as the user would.
  void openAndBroadcast() {
    ui().BtnOpenCom->trigger();
    ASSERT_TRUE(window->Opened());
    ui().ceksend1->click();
    ASSERT_TRUE(window->Timer1().isActive());
  }

  int connections() { return window->ServerPort().ConnectionCount(); }
};

TEST_F(ServerLoadTest, ThousandClientsComingAndGoingDuringABroadcastLeaveNothingBehind) {
  startServerWindow();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  LoopbackPeer witness = LoopbackPeer::Connect(port);
  ASSERT_TRUE(WaitFor([&] { return connections() == 1; }));
  int ticks = 0;  // each tick sends one copy to every client connected then
  QObject tickCounter;
  QObject::connect(&window->Timer1(), &QTimer::timeout, &tickCounter, [&] { ++ticks; });
  ui().ceksend1->click();
  ASSERT_TRUE(window->Timer1().isActive());

  // Each batch joins while the one before it leaves; half the clients read, half never do.
  std::vector<LoopbackPeer> present;
  for (int joined = 0; joined < 1000; joined += kBatchSize) {
    std::vector<LoopbackPeer> arriving = ConnectBatch(port);
    for (const LoopbackPeer& peer : arriving) ASSERT_TRUE(peer.valid()) << joined;
    StartLeaving(present);
    const bool swapped =
        WaitFor([&] { return AllClosedByServer(present) && connections() == 1 + kBatchSize; });
    ASSERT_TRUE(swapped) << joined << (window->Opened() ? "" : ", the channel closed");
    const int arrivedAt = ticks;
    for (size_t i = joined % 2; i < arriving.size(); i += 2) {
      const QByteArray got = arriving[i].read(kMessage.size());
      ASSERT_GE(got.size(), kMessage.size()) << joined + i;
      EXPECT_TRUE(IsRepetitionStart(got)) << joined + i << ": " << got.toStdString();
    }
    ASSERT_TRUE(WaitFor([&] { return ticks >= arrivedAt + kTicksPerStay; })) << joined;
    present = std::move(arriving);  // the clients that left are closed here
  }
  StartLeaving(present);
  ASSERT_TRUE(WaitFor([&] { return AllClosedByServer(present) && connections() == 1; }));
  present.clear();

  ui().ceksend1->click();
  ASSERT_FALSE(window->Timer1().isActive());
  ASSERT_GT(ticks, 0);
  const QByteArray all = kMessage.repeated(ticks);
  const QByteArray got = witness.read(all.size());
  EXPECT_EQ(got.size(), all.size());
  EXPECT_TRUE(got == all) << "the witness's bytes are not " << ticks << " copies of the message";

  ::shutdown(witness.fd(), SHUT_WR);
  ASSERT_TRUE(WaitFor([&] { return ClosedByServer(witness) && connections() == 0; }));
  EXPECT_TRUE(witness.read(1).isEmpty()) << "bytes after the last copy";
  witness.close();
  EXPECT_TRUE(window->Opened());
  EXPECT_TRUE(prompts.boxes.isEmpty()) << prompts.boxes.value(0).text.toStdString();
  ui().btnCloseCom->trigger();
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBeforeOpen);
}

// A reset client fails its connection, and this program then reports it in one box and closes
// the whole channel; the user opens it again. Half the resets are plain closes with bytes left
// unread, which the client's kernel turns into a reset as well.
TEST_F(ServerLoadTest, EveryClientResetDuringABroadcastClosesTheChannelWithOneBox) {
  startServerWindow();
  QString panelWhileBoxUp;
  prompts.onBox = [&] { panelWhileBoxUp = panel(1); };
  constexpr int kRounds = 20;
  for (int round = 0; round < kRounds; ++round) {
    openAndBroadcast();
    std::vector<LoopbackPeer> batch = ConnectBatch(port);
    ASSERT_TRUE(WaitFor([&] { return connections() == kBatchSize; })) << round;
    LoopbackPeer& resetting = batch[static_cast<size_t>(round % kBatchSize)];
    ASSERT_TRUE(WaitFor([&] {
      pollfd p{resetting.fd(), POLLIN, 0};
      return ::poll(&p, 1, 0) == 1;
    })) << round;
    panelWhileBoxUp.clear();
    if (round % 2 == 0)
      resetting.reset();
    else
      resetting.close();
    ASSERT_TRUE(WaitFor([&] { return !window->Opened(); })) << round;
    ASSERT_EQ(prompts.boxes.size(), round + 1) << round;
    EXPECT_EQ(prompts.boxes.last().text, "可能该服务已经启动");
    EXPECT_EQ(panelWhileBoxUp, "127.0.0.1连接有误");
    EXPECT_EQ(panel(1), "尚未监听");
    EXPECT_EQ(connections(), 0);
    EXPECT_FALSE(window->Timer1().isActive());
    EXPECT_FALSE(ui().ceksend1->isChecked());
    EXPECT_TRUE(WaitFor([&] { return AllClosedByServer(batch); })) << round;  // dropped too
    batch.clear();
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBeforeOpen) << round;
  }

  // The channel works again after the last one.
  openAndBroadcast();
  LoopbackPeer after = LoopbackPeer::Connect(port);
  const QByteArray got = after.read(3 * kMessage.size());
  ASSERT_GE(got.size(), 3 * kMessage.size());
  EXPECT_TRUE(IsRepetitionStart(got)) << got.toStdString();
  ui().btnCloseCom->trigger();
  after.close();
  EXPECT_EQ(prompts.boxes.size(), kRounds);
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBeforeOpen);
}

}  // namespace
