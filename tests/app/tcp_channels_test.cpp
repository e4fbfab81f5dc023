#include <QFontMetrics>
#include <numeric>
#include <optional>

#include "app/traffic_log.h"
#include "channels/socket_server.h"
#include "main_window_fixture.h"
#include "support/cpu_time.h"
#include "support/loopback_peer.h"

using testing_support::CpuSecondsUsed;
using testing_support::FreeLoopbackPort;
using testing_support::LoopbackListener;
using testing_support::LoopbackPeer;

namespace {

bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }

}  // namespace

TEST_F(MainWindowTest, ServerShowsListenConnectAcceptAndDisconnect) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  start();
  EXPECT_EQ(panel(0), QString("监听端口：%1").arg(port));
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  EXPECT_EQ(panel(1), "正在监听...");

  // The connect text comes first, the accept text right after it.
  QString panelAtAccept;
  channels::TServerSocket& server = window->ServerPort().Server();
  server.OnAccept = [&, shown = server.OnAccept](QObject* sender, auto& socket) {
    panelAtAccept = panel(1);
    shown(sender, socket);
  };
  LoopbackPeer peer = LoopbackPeer::Connect(port);
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(waitFor([&] { return panel(1) == "  客户端ip:127.0.0.1"; }))
      << panel(1).toStdString();
  EXPECT_EQ(panelAtAccept, "127.0.0.1 已连接");
  const QWidget* statePanel = window->findChild<QWidget*>("StatusPanel1");
  EXPECT_EQ(statePanel->width(), QFontMetrics(statePanel->font()).horizontalAdvance(panel(1)) + 15);
  peer.write(QByteArray("\x01\xab\xff", 3));
  ASSERT_TRUE(waitForLogLines(1));
  EXPECT_TRUE(logLines()[0].startsWith("RX:01 AB FF (")) << logLines()[0].toStdString();
  peer.close();
  ASSERT_TRUE(waitFor([&] { return panel(1) == "127.0.0.1 已断开"; })) << panel(1).toStdString();
  EXPECT_TRUE(window->Opened());

  ui().btnCloseCom->trigger();
  EXPECT_EQ(panel(1), "尚未监听");
  EXPECT_FALSE(window->Opened());
}

TEST_F(MainWindowTest, ServerBroadcastsEachMessageToEveryClientInOrder) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  start();
  ui().BtnOpenCom->trigger();
  std::vector<LoopbackPeer> peers;
  for (int i = 0; i < 3; ++i) {
    peers.push_back(LoopbackPeer::Connect(port));
    ASSERT_TRUE(waitFor([&] { return window->ServerPort().ConnectionCount() == i + 1; }));
  }
  ui().Memo2->setPlainText("aa 55");
  ui().BtnSend1->click();
  for (const auto& peer : peers) EXPECT_EQ(peer.read(2), QByteArray("\xaa\x55", 2));
  EXPECT_EQ(logLines().size(), 1);
}

TEST_F(MainWindowTest, ServerPortInUseIsReportedAndStaysClosed) {
  const int port = FreeLoopbackPort();
  LoopbackListener other(port);
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, "可能该服务已经启动");
  EXPECT_EQ(prompts.boxes[0].caption, "系统提示！");
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(panel(1), "尚未监听");
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
}

TEST_F(MainWindowTest, ClientThatResetsClosesTheWholeServerChannel) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  start();
  ui().BtnOpenCom->trigger();
  LoopbackPeer first = LoopbackPeer::Connect(port);
  LoopbackPeer second = LoopbackPeer::Connect(port);
  ASSERT_TRUE(waitFor([&] { return window->ServerPort().ConnectionCount() == 2; }));
  QString panelWhileBoxUp;
  prompts.onBox = [&] { panelWhileBoxUp = panel(1); };
  first.reset();
  ASSERT_TRUE(waitFor([&] { return !window->Opened(); }));
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, "可能该服务已经启动");
  EXPECT_EQ(panelWhileBoxUp, "127.0.0.1连接有误");
  EXPECT_EQ(panel(1), "尚未监听");
  EXPECT_TRUE(second.read(1, std::chrono::seconds(2)).isEmpty());  // dropped too
}

TEST_F(MainWindowTest, ClientConnectsReceivesSendsAndSeesTheServerLeave) {
  const int port = FreeLoopbackPort();
  LoopbackListener server(port);
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeInteger("ComSet", "CPort", port);
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  EXPECT_EQ(panel(0), QString("  连接IP:127.0.0.1,端口：%1  ").arg(port));
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  EXPECT_EQ(panel(1), "正在连接...");
  LoopbackPeer peer = server.accept();
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(waitFor([&] { return panel(1) == " 已连接"; }));
  peer.write("abc");
  ASSERT_TRUE(waitForLogLines(1));
  EXPECT_TRUE(logLines()[0].startsWith("RX:abc ("));
  ui().Memo2->setPlainText("hello");
  ui().BtnSend1->click();
  EXPECT_EQ(peer.read(5), QByteArray("hello"));
  peer.close();
  ASSERT_TRUE(waitFor([&] { return panel(1) == " 已断开"; }));
  EXPECT_TRUE(window->Opened());
  ui().btnCloseCom->trigger();
  EXPECT_EQ(panel(1), "尚未连接");
}

// Bytes the channel could not take get no TX line; a text send writes its line first, as always.
TEST_F(MainWindowTest, ASendAfterTheServerLeftLogsNoHexLineButKeepsTheTextLine) {
  const int port = FreeLoopbackPort();
  LoopbackListener server(port);
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeInteger("ComSet", "CPort", port);
  start();
  for (const int sendStyle : {0, 1}) {
    comset().writeInteger("ComSet", "SendStyle", sendStyle);
    ui().BtnOpenCom->trigger();
    LoopbackPeer peer = server.accept();
    ASSERT_TRUE(waitFor([&] { return panel(1) == " 已连接"; }));
    peer.close();
    ASSERT_TRUE(waitFor([&] { return panel(1) == " 已断开"; }));
    ui().Memo2->setPlainText("41 42");
    ui().BtnSend1->click();
    EXPECT_FALSE(window->Opened());
    ASSERT_EQ(prompts.boxes.size(), sendStyle + 1);
    EXPECT_EQ(prompts.boxes.back().text, "可能服务端还没有打开 ");
    EXPECT_EQ(logLines().filter("TX:").size(), sendStyle) << sendStyle;
  }
  EXPECT_TRUE(logLines().filter("TX:").value(0).startsWith("TX:41 42 ("));
}

TEST_F(MainWindowTest, RefusedClientConnectionIsReportedAndClosesTheChannel) {
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeInteger("ComSet", "CPort", FreeLoopbackPort());
  start();
  QString panelWhileBoxUp;
  prompts.onBox = [&] { panelWhileBoxUp = panel(1); };
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(waitFor([&] { return !prompts.boxes.isEmpty() && !window->Opened(); }));
  EXPECT_EQ(prompts.boxes[0].text, "可能服务端还没有打开 ");
  EXPECT_EQ(prompts.boxes[0].caption, "系统提示！");
  EXPECT_EQ(panelWhileBoxUp, "连接有误");
  EXPECT_EQ(panel(1), "尚未连接");
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
}

TEST_F(MainWindowTest, ClientWithoutAnAddressDoesNotEndOpen) {
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeString("ComSet", "IP", "");
  start();
  ui().BtnOpenCom->trigger();
  EXPECT_FALSE(window->Opened());
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].caption, "系统提示！");
  EXPECT_EQ(prompts.boxes[0].text, "可能服务端还没有打开 ");
  EXPECT_EQ(panel(1), "尚未连接");
}

// Without a stored port the panel names the dialog's default, the server the reader's.
TEST_F(MainWindowTest, ServerWithoutAStoredPortShows1024AndListensOn1000) {
  comset().writeInteger("ComSet", "Style", 1);
  start();
  EXPECT_EQ(panel(0), "监听端口：1024");
  ui().BtnOpenCom->trigger();  // whether port 1000 may be taken here or not
  EXPECT_EQ(window->ServerPort().Server().Port(), 1000);
}

TEST_F(MainWindowTest, AZeroByteFromASocketInAsciiIsShownLikeOnTheSerialChannel) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  LoopbackPeer peer = LoopbackPeer::Connect(port);
  ASSERT_TRUE(waitFor([&] { return window->ServerPort().ConnectionCount() == 1; }));
  peer.write(QByteArray("A\0B", 3));
  ASSERT_TRUE(waitForLogLines(1));
  EXPECT_TRUE(logLines()[0].startsWith(QStringLiteral("RX:A\u2400B (")))
      << logLines()[0].toStdString();
}

// "HEX" echoes after the send, "ASCII" before it: seen when the send fails and its error box
// comes up.
TEST_F(MainWindowTest, TheEchoFollowsAHexSendAndPrecedesAnAsciiSend) {
  for (int sendStyle : {0, 1}) {
    SCOPED_TRACE(sendStyle == 0 ? "HEX" : "ASCII");
    prompts.boxes.clear();
    const int port = FreeLoopbackPort();
    LoopbackListener server(port);
    comset().writeInteger("ComSet", "Style", 2);
    comset().writeInteger("ComSet", "CPort", port);
    comset().writeInteger("ComSet", "SendStyle", sendStyle);
    start();
    ui().BtnOpenCom->trigger();
    LoopbackPeer peer = server.accept();
    ASSERT_TRUE(waitFor([&] { return panel(1) == " 已连接"; }));
    peer.reset();
    QTest::qSleep(50);  // the reset arrives; the window has not heard of it yet
    int linesWhileBoxUp = -1;
    prompts.onBox = [&] { linesWhileBoxUp = static_cast<int>(logLines().size()); };
    ui().Memo2->setPlainText("41 42");
    ui().BtnSend1->click();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(linesWhileBoxUp, sendStyle == 0 ? 0 : 1);
    EXPECT_FALSE(window->Opened());
    prompts.onBox = nullptr;
    window.reset();
  }
}

// What arrives together is one line; a flood is logged whole, in lines of at most 16 KiB. The
// flood fits in the loopback buffers, since the peer writes it before the window reads.
TEST_F(MainWindowTest, EachReadIsOneLineAndAFloodIsLoggedWhole) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  start();
  ui().BtnOpenCom->trigger();
  std::vector<qsizetype> lines;
  QObject::connect(&window->Log(), &app::TrafficLog::chunkLogged,
                   [&](qsizetype n) { lines.push_back(n); });
  LoopbackPeer peer = LoopbackPeer::Connect(port);
  ASSERT_TRUE(waitFor([&] { return window->ServerPort().ConnectionCount() == 1; }));
  peer.write(QByteArray(5000, 'x'));
  ASSERT_TRUE(waitFor([&] { return !lines.empty(); }));
  EXPECT_EQ(lines, std::vector<qsizetype>{5000});

  lines.clear();
  QByteArray data(1 << 20, '\0');
  for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31);
  peer.write(data);
  qint64 logged = 0;
  ASSERT_TRUE(waitFor([&] {
    logged = std::accumulate(lines.begin(), lines.end(), qint64{0});
    return logged >= data.size();
  }));
  EXPECT_EQ(logged, data.size());
  EXPECT_EQ(*std::max_element(lines.begin(), lines.end()), 16 * 1024);
  EXPECT_LE(window->Log().TextLength(), app::kLogSizeLimit + 3 * 16 * 1024 + 20);
}

TEST_F(MainWindowTest, ClientResettingDuringALargeSendClosesTheChannelCleanly) {
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  LoopbackPeer peer = LoopbackPeer::Connect(port);
  ASSERT_TRUE(waitFor([&] { return window->ServerPort().ConnectionCount() == 1; }));
  int small = 4096;  // a small receive window, so most of the message waits in the send queue
  setsockopt(peer.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  ui().Memo2->setPlainText(QString(64 << 10, 'a'));
  ui().BtnSend1->click();
  prompts.onBox = [] { QTest::qWait(100); };  // as a real box, which runs the event loop
  peer.read(1000);
  peer.reset();
  ASSERT_TRUE(waitFor([&] { return !window->Opened(); }));
  EXPECT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes.value(0).text, "可能该服务已经启动");
  EXPECT_EQ(panel(1), "尚未监听");
  EXPECT_EQ(window->ServerPort().ConnectionCount(), 0);
}

// A real message box runs the event loop while it is up: the failed connection must not report
// again from inside it, neither by its own notifications nor by the continuous sending's ticks.
TEST_F(MainWindowTest, APeerResettingWithBytesQueuedGivesOneBoxWhileTheBoxRunsTheEventLoop) {
  for (int style : {1, 2}) {
    SCOPED_TRACE(style == 1 ? "server" : "client");
    prompts.boxes.clear();
    const int port = FreeLoopbackPort();
    std::optional<LoopbackListener> server;  // the client channel's peer
    if (style == 2) server.emplace(port);
    comset().writeInteger("ComSet", "Style", style);
    comset().writeInteger("ComSet", style == 1 ? "SPort" : "CPort", port);
    comset().writeInteger("ComSet", "SendStyle", 1);
    start();
    ui().BtnOpenCom->trigger();
    LoopbackPeer peer = style == 1 ? LoopbackPeer::Connect(port) : server->accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(waitFor([&] {
      return style == 1 ? window->ServerPort().ConnectionCount() == 1 : panel(1) == " 已连接";
    }));
    int small = 4096;  // most of the message waits in the send queue
    setsockopt(peer.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    int depth = 0, deepest = 0;
    prompts.onBox = [&] {
      deepest = std::max(deepest, ++depth);
      QTest::qWait(150);
      --depth;
    };
    ui().Memo2->setPlainText(QStringLiteral("a ").repeated(32 << 10));
    ui().txtInteval1->setValue(20);
    ui().ceksend1->setChecked(true);
    peer.read(1000);
    peer.reset();
    ASSERT_TRUE(waitFor([&] { return !window->Opened(); }));
    QTest::qWait(100);
    EXPECT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(deepest, 1);
    EXPECT_FALSE(ui().ceksend1->isChecked());
    prompts.onBox = nullptr;
    window.reset();
  }
}

TEST_F(MainWindowTest, ServerVanishingDuringAContinuousSendClosesTheClientAndItConnectsAgain) {
  const int port = FreeLoopbackPort();
  LoopbackListener server(port);
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeInteger("ComSet", "CPort", port);
  comset().writeInteger("ComSet", "SendStyle", 1);
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  LoopbackPeer peer = server.accept();
  ASSERT_TRUE(waitFor([&] { return panel(1) == " 已连接"; }));
  ui().Memo2->setPlainText("ping");
  ui().txtInteval1->setValue(20);
  ui().ceksend1->setChecked(true);
  EXPECT_EQ(peer.read(8), QByteArray("pingping"));
  peer.write("abc");
  ASSERT_TRUE(waitFor([&] { return !logLines().filter("RX:").isEmpty(); }));
  bool sendingWhileBoxUp = true;
  prompts.onBox = [&] { sendingWhileBoxUp = window->Opened() || window->Timer1().isActive(); };
  peer.close();  // the server goes while the sends go on
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Opened(); }, 1000));
  EXPECT_FALSE(sendingWhileBoxUp) << "the box runs the event loop: no tick may send meanwhile";
  EXPECT_FALSE(ui().ceksend1->isChecked());
  EXPECT_EQ(panel(1), "尚未连接");
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, "可能服务端还没有打开 ");
  EXPECT_EQ(logLines().filter("RX:").size(), 1);
  EXPECT_TRUE(logLines().filter("RX:").value(0).startsWith("RX:abc ("));
  const double cpuBefore = CpuSecondsUsed();
  QTest::qWait(300);
  EXPECT_LT(CpuSecondsUsed() - cpuBefore, 0.15) << "nothing spins after the loss";

  ui().BtnOpenCom->trigger();
  LoopbackPeer again = server.accept();
  ASSERT_TRUE(again.valid());
  ASSERT_TRUE(waitFor([&] { return panel(1) == " 已连接"; }));
  EXPECT_TRUE(window->Opened());
  ui().BtnSend1->click();
  EXPECT_EQ(again.read(4), QByteArray("ping"));
}
