#include <sys/ioctl.h>
#include <termios.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <utility>
#include <vector>

#include "app/traffic_log.h"
#include "channels/serial_comm.h"
#include "codec/hex_text.h"
#include "dialogs/comset.h"
#include "main_window_fixture.h"
#include "support/cpu_time.h"
#include "support/device_writes.h"
#include "support/loopback_peer.h"
#include "support/pty_pair.h"

using testing_support::CpuSecondsUsed;
using testing_support::FreeLoopbackPort;
using testing_support::LoopbackPeer;
using testing_support::OpenDescriptorFor;
using testing_support::PtyPair;
using testing_support::WatchedWriteSizes;
using testing_support::WatchWritesTo;
using WriteSizes = std::vector<size_t>;

TEST_F(MainWindowTest, WithoutComsetIniStartsClosedOnTheSerialDefaults) {
  start();
  EXPECT_EQ(window->windowTitle(), "OruvoTarvix通讯调试软件");
  EXPECT_EQ(panel(0), "COM1,9600,8,无,1");
  EXPECT_EQ(panel(1), " 端口状态: 关闭 ");
  EXPECT_EQ(panel(2), "发送方式:HEX");
  EXPECT_EQ(panel(3), "接收方式:HEX");
  EXPECT_EQ(panel(4), "串口方式");
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
  EXPECT_TRUE(ui().btnPortSet->isEnabled());
  EXPECT_FALSE(ui().btnCloseCom->isEnabled());
  EXPECT_FALSE(ui().BtnSend1->isEnabled());
  EXPECT_FALSE(ui().ceksend2->isEnabled());
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(MainWindowTest, MenuBarPagesAndLogFrameCarryTheirCaptionsInOrder) {
  start();
  QStringList bar;
  for (QAction* a : window->menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{"打开(&O)", "关闭(&G)", "参数设置(&P)", "清除报文(&Q)", "常用工具(&G)",
                              "帮助(&H)", "退出(&X)"}));
  const auto entries = [](const QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->objectName() + '=' + a->text();
    return texts;
  };
  EXPECT_EQ(entries(ui().J1), (QStringList{"ASCIIA1=ASCII码表(&A)", "J2=计算器(&J)",
                                          "btnRecord=记录到文件(&L)..."}));
  EXPECT_EQ(entries(ui().A2), (QStringList{"N1=帮助文件(&H)", "BtnAbout=关于(&A)"}));
  EXPECT_EQ(ui().PageControl1->tabText(0), "单报文(&D)");
  EXPECT_EQ(ui().PageControl1->tabText(1), "多报文(&B)");
  EXPECT_EQ(ui().GroupBox1->title(), "报文接收");
}

TEST_F(MainWindowTest, StatusPanelsShowTheConfiguredKindAndItsDefaults) {
  comset().writeInteger("ComSet", "Style", 1);
  start();
  EXPECT_EQ(panel(0), "监听端口：1024");
  EXPECT_EQ(panel(1), "尚未监听");
  EXPECT_EQ(panel(4), "以太网Tcp/ip方式　服务端");
  window->ShowChannelState(store::ChannelKind::TcpClient, false);
  EXPECT_EQ(panel(0), "  连接IP:127.0.0.1,端口：1024  ");
  EXPECT_EQ(panel(1), "尚未连接");
  EXPECT_EQ(panel(4), "以太网Tcp/ip方式　客户端");
  comset().writeString("ComSet", "port", "my port");
  comset().writeString("ComSet", "BaudRate", "0x2580");
  comset().writeInteger("ComSet", "SendStyle", 1);
  window->ShowChannelState(store::ChannelKind::Serial, false);
  EXPECT_EQ(panel(0), "\"my port\",0x2580,8,无,1");
  EXPECT_EQ(panel(2), "发送方式:ASCII");
  const QFontMetrics metrics(window->findChild<QWidget*>("StatusPanel0")->font());
  EXPECT_EQ(window->findChild<QWidget*>("StatusPanel0")->width(),
            metrics.horizontalAdvance(panel(0)) + 15);
}

TEST_F(MainWindowTest, SerialOpenAndCloseFollowTheChannelStateAndShowReceivedBytes) {
  PtyPair pty;
  ASSERT_TRUE(pty.valid());
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "BaudRate", 115200);
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened()) << (prompts.boxes.isEmpty() ? ""
                                                            : prompts.boxes[0].text.toStdString());
  EXPECT_EQ(panel(0), pty.slavePath() + ",115200,8,无,1");
  EXPECT_EQ(panel(1), " 端口状态: 打开 ");
  EXPECT_FALSE(ui().BtnOpenCom->isEnabled());
  EXPECT_FALSE(ui().btnPortSet->isEnabled());
  EXPECT_TRUE(ui().btnCloseCom->isEnabled());
  EXPECT_TRUE(ui().BtnSend1->isEnabled());
  EXPECT_TRUE(ui().ceksend1->isEnabled());

  ui().Memo2->setFocus();
  pty.write(QByteArray("\x68\x69", 2));
  ASSERT_TRUE(waitForLogLines(1));
  EXPECT_EQ(window->focusWidget(), ui().Memo1) << "a written line takes the focus to the log";
  EXPECT_TRUE(logLines()[0].startsWith("RX:68 69 (")) << logLines()[0].toStdString();
  EXPECT_TRUE(QRegularExpression(R"(^RX:68 69 \(\d\d:\d\d:\d\d:\d\d\d\)$)")
                  .match(logLines()[0])
                  .hasMatch());
  EXPECT_EQ(lineColour(0), app::kRxColour);

  ui().btnCloseCom->trigger();
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(panel(1), " 端口状态: 关闭 ");
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
  EXPECT_FALSE(ui().BtnSend1->isEnabled());
}

TEST_F(MainWindowTest, NamedBaudRatesReachThePortAsTheirTermiosCodesOthersAsBother) {
  PtyPair pty;
  ASSERT_TRUE(pty.valid());
  comset().writeString("ComSet", "port", pty.slavePath());
  start();
  using Speeds = std::pair<speed_t, speed_t>;
  constexpr speed_t kBother = 0010000;  // the kernel's code for "another rate"; glibc names none
  // The input and output speed codes of the port the window opened, as other programs read them.
  const auto codesAfterOpenWith = [&](const QString& stored) {
    comset().writeString("ComSet", "BaudRate", stored);
    ui().BtnOpenCom->trigger();
    termios tio{};
    const int fd = OpenDescriptorFor(pty.slavePath());
    const bool read = fd >= 0 && ::tcgetattr(fd, &tio) == 0;
    ui().btnCloseCom->trigger();
    return read ? Speeds(::cfgetispeed(&tio), ::cfgetospeed(&tio)) : Speeds();
  };
  EXPECT_EQ(codesAfterOpenWith("0x2580"), Speeds(B9600, B9600));
  EXPECT_EQ(codesAfterOpenWith("$4B00"), Speeds(B19200, B19200));
  EXPECT_EQ(codesAfterOpenWith("fast"), Speeds(B9600, B9600));
  EXPECT_EQ(codesAfterOpenWith("4000000"), Speeds(B4000000, B4000000));
  EXPECT_EQ(codesAfterOpenWith("250000"), Speeds(kBother, kBother));
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(MainWindowTest, AsciiSerialChunkShowsEveryByteIncludingZeroBytes) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  pty.write(QByteArray("A\0B", 3));
  ASSERT_TRUE(waitForLogLines(1));
  EXPECT_TRUE(logLines()[0].startsWith(QString("RX:A") + QChar(0x2400) + "B ("))
      << logLines()[0].toStdString();
}

TEST_F(MainWindowTest, AReceiveStyleOutsideTheListWritesNoLineButBringsTheLogForward) {
  PtyPair pty;
  ASSERT_TRUE(pty.valid());
  const int port = FreeLoopbackPort();
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SPort", port);
  comset().writeInteger("ComSet", "ReceiveStyle", 7);
  start();
  window->Log().AppendLogLine("TX:01", app::kTxColour);
  const auto logComesForwardOn = [&](const std::function<void()>& arrive) {
    ui().Memo2->setFocus();
    arrive();
    return QTest::qWaitFor([&] { return window->focusWidget() == ui().Memo1; }, 2000);
  };
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  EXPECT_TRUE(logComesForwardOn([&] { pty.write("ab"); })) << "serial";
  ui().btnCloseCom->trigger();

  comset().writeInteger("ComSet", "Style", 1);
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  LoopbackPeer peer = LoopbackPeer::Connect(port);
  EXPECT_TRUE(logComesForwardOn([&] { peer.write("ab"); })) << "TCP server";
  EXPECT_EQ(logLines(), QStringList{"TX:01"});
}

TEST_F(MainWindowTest, FailedSerialOpenAtStartUpIsReportedAndLeavesTheClosedState) {
  comset().writeString("ComSet", "port", dir.file("no-such-device"));
  comset().writeBool("ComSet", "AutoOpen", true);
  start();
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].caption, "OruvoTarvix通讯调试软件");
  EXPECT_EQ(prompts.boxes[0].text, "Error opening serial port.");
  EXPECT_EQ(prompts.boxes[0].icon, widgets::PromptIcon::Error);
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(panel(1), " 端口状态: 关闭 ");
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
  EXPECT_FALSE(ui().btnCloseCom->isEnabled());
}

TEST_F(MainWindowTest, ReceivedChunkClearsALogOverTheSizeLimitButSendingNeverDoes) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  ui().Memo1->setPlainText(QString(50001, 'x'));
  ui().Memo2->setPlainText("a");
  ui().BtnSend1->click();
  EXPECT_EQ(logLines().size(), 2);
  pty.write("z");
  ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().size() == 1; }, 5000));
  EXPECT_TRUE(logLines()[0].startsWith("RX:7A ("));

  ui().Memo1->setPlainText(QString(50000, 'x'));
  pty.write("z");
  ASSERT_TRUE(waitForLogLines(2));
}

TEST_F(MainWindowTest, HexMessageGoesOutByteByByteAndIsEchoedAfterTheSend) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  WatchWritesTo(OpenDescriptorFor(pty.slavePath()));
  ui().Memo2->setPlainText("01 02 0a");
  ui().BtnSend1->click();
  EXPECT_EQ(pty.read(3), QByteArray("\x01\x02\x0a", 3));
  EXPECT_EQ(WatchedWriteSizes(), (WriteSizes{1, 1, 1}));  // one write request per byte
  ASSERT_EQ(logLines().size(), 1);
  EXPECT_TRUE(logLines()[0].startsWith("TX:01 02 0A ("));
  EXPECT_EQ(lineColour(0), app::kTxColour);

  ui().Memo2->setPlainText("zz");
  ui().BtnSend1->click();
  EXPECT_EQ(logLines().size(), 1);
  EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(200)).isEmpty());
}

TEST_F(MainWindowTest, AsciiMessageSendsItsLinesJoinedByCrLf) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  WatchWritesTo(OpenDescriptorFor(pty.slavePath()));
  ui().Memo2->setPlainText("a\nb");
  ui().BtnSend1->click();
  EXPECT_EQ(pty.read(4), QByteArray("a\r\nb"));
  // The whole text in one request.
  EXPECT_EQ(WatchedWriteSizes(), WriteSizes{4});
  EXPECT_EQ(logLines().size(), 2);  // the echo spans two lines
  EXPECT_EQ(logLines()[0], "TX:a");
}

TEST_F(MainWindowTest, TabLeavesTheSendBoxAndComesBackWhileAPastedTabIsSentAsItsByte) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  ui().Memo2->clear();
  ui().Memo2->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_NE(QApplication::focusWidget(), ui().Memo2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), ui().Memo2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), ui().Memo2);
  EXPECT_EQ(ui().Memo2->toPlainText(), "a");

  QApplication::clipboard()->setText("\tb");
  QTest::keyClick(ui().Memo2, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(ui().Memo2->toPlainText(), "a\tb");
  QTest::mouseClick(ui().BtnSend1, Qt::LeftButton);
  EXPECT_EQ(pty.read(3), QByteArray("a\tb"));
}

TEST_F(MainWindowTest, LongAsciiMessageGoesOutWhole) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SendStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  QString message;
  for (int i = 0; i < 70000; ++i) message += QChar('a' + i % 26);
  ui().Memo2->setPlainText(message);
  ui().BtnSend1->click();
  QByteArray got;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        got += pty.read(70000 - got.size(), std::chrono::milliseconds(50));
        return got.size() >= 70000;
      },
      10000));
  EXPECT_EQ(got, message.toLatin1());
}

TEST_F(MainWindowTest, ContinuousSendingStopsOnCloseAndOnTabSwitch) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  start();
  ui().BtnOpenCom->trigger();
  ui().txtInteval1->setValue(20);
  ui().Memo2->setPlainText("55");
  ui().ceksend1->setChecked(true);
  EXPECT_TRUE(window->Timer1().isActive());
  EXPECT_FALSE(ui().BtnSend1->isEnabled());
  EXPECT_FALSE(ui().txtInteval1->isEnabled());
  EXPECT_EQ(pty.read(3), QByteArray("\x55\x55\x55"));

  ui().PageControl1->setCurrentIndex(1);
  EXPECT_FALSE(ui().ceksend1->isChecked());
  EXPECT_FALSE(window->Timer1().isActive());
  EXPECT_TRUE(ui().BtnSend1->isEnabled());

  ui().PageControl1->setCurrentIndex(0);
  ui().ceksend1->setChecked(true);
  ui().btnCloseCom->trigger();
  EXPECT_FALSE(ui().ceksend1->isChecked());
  EXPECT_FALSE(window->Timer1().isActive());

  ui().BtnOpenCom->trigger();
  ui().txtInteval1->setValue(0);
  ui().ceksend1->setChecked(true);
  EXPECT_TRUE(ui().ceksend1->isChecked());
  EXPECT_FALSE(window->Timer1().isActive());
}

TEST_F(MainWindowTest, IntervalTextThatIsNoIntegerCountsAsZero) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  struct Sender {
    widgets::IntegerSpinEdit* interval;
    QCheckBox* continuous;
    const QTimer* timer;
  };
  for (const Sender& sender : {Sender{ui().txtInteval1, ui().ceksend1, &window->Timer1()},
                               Sender{ui().txtInteval2, ui().ceksend2, &window->Timer2()}}) {
    for (const QString& text : {QString(), QStringLiteral("-")}) {
      SCOPED_TRACE(sender.interval->objectName().toStdString() + " holding \"" +
                   text.toStdString() + "\"");
      typeInto(*sender.interval, text);
      EXPECT_EQ(sender.interval->text(), text);
      EXPECT_EQ(sender.interval->value(), 0);
      // Continuous sending stays ticked, but with an interval of 0 its timer never runs.
      sender.continuous->setChecked(true);
      EXPECT_TRUE(sender.continuous->isChecked());
      EXPECT_FALSE(sender.timer->isActive());
      sender.continuous->setChecked(false);
    }
  }
}

TEST_F(MainWindowTest, ClosingStoresTheLayoutAndSavesANonEmptyLog) {
  start();
  ui().txtInteval1->setValue(250);
  ui().txtInteval2->setValue(-5);
  ui().cekCircle->setChecked(true);
  ui().PageControl1->setCurrentIndex(1);
  ui().Memo2->setPlainText("first\nsecond \\n");
  window->close();
  EXPECT_FALSE(QFile::exists(files.defaultLogFile()));
  EXPECT_EQ(comset().readInteger("DefineSend", "TimeInteval1", 0), 250);
  EXPECT_EQ(comset().readInteger("DefineSend", "TimeInteval2", 0), -5);
  EXPECT_TRUE(comset().readBool("DefineSend", "isCircle", false));
  EXPECT_EQ(comset().readInteger("zh", "PageIndex", 0), 1);
  EXPECT_GT(comset().readInteger("zh", "PageHight", 0), 0);
  const store::IniFile sizes(files.formSizeIni());
  const QSize outer(sizes.readInteger("frmZh", "width", 0),
                    sizes.readInteger("frmZh", "height", 0));
  EXPECT_EQ(outer, window->frameGeometry().size());
  EXPECT_NE(outer, window->size()) << "the stored size is the outer one, frame included";

  comset().writeInteger("zh", "PageHight", 260);
  window.reset();
  start();
  EXPECT_EQ(ui().PageControl1->height(), 260);
  EXPECT_EQ(window->frameGeometry().size(), outer);
  EXPECT_EQ(ui().txtInteval1->value(), 250);
  EXPECT_TRUE(ui().cekCircle->isChecked());
  EXPECT_EQ(ui().PageControl1->currentIndex(), 1);
  EXPECT_EQ(ui().Memo2->toPlainText(), "first\nsecond \\n");
  window->Log().AppendLogLine("RX:01 (12:00:00:000)", app::kRxColour);
  window->Log().AppendLogLine("TX:02 (12:00:00:001)", app::kTxColour);
  window->close();
  const QByteArray saved = testing_support::ReadAll(files.defaultLogFile());
  EXPECT_TRUE(saved.startsWith("RX:01 (12:00:00:000)\r\nTX:02 (12:00:00:001)\r\n"));
  EXPECT_TRUE(saved.endsWith("\r\n"));
  EXPECT_EQ(saved.count("\r\n"), 3);
}

namespace {

// A right-click on the log as the window system delivers it: press and release on the viewport.
void rightClick(QWidget* viewport) {
  const QPoint at = viewport->rect().center();
  QTest::mouseClick(viewport->window()->windowHandle(), Qt::RightButton, {},
                    viewport->mapTo(viewport->window(), at));
}

}  // namespace

// An empty log's menu opens as nothing: no unseen popup takes the next keys (a typed C would
// clear the log), and the next right-click on a full log shows all four entries.
TEST_F(MainWindowTest, BlankLogIsNotSavedAndItsContextMenuOpensAsNothing) {
  start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QWidget* viewport = ui().Memo1->viewport();
  QMenu& menu = window->Log().PopupMenu2();
  ui().Memo1->setPlainText("  \n\t\n");
  ui().Memo1->setFocus();
  rightClick(viewport);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  for (QAction* a : menu.actions()) EXPECT_FALSE(a->isVisible());
  window->Log().AppendLogLine("RX:41 (00:00:00:000)", app::kRxColour);
  QTest::keyClicks(ui().Memo1, "c");
  EXPECT_TRUE(ui().Memo1->toPlainText().endsWith("\nRX:41 (00:00:00:000)c"));

  rightClick(viewport);
  ASSERT_EQ(QApplication::activePopupWidget(), &menu);
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(menu.actions().size(), 4);
  for (QAction* a : menu.actions()) EXPECT_TRUE(a->isVisible());
  QTest::keyClick(&menu, Qt::Key_Escape);
  EXPECT_FALSE(menu.isVisible());
  ui().Memo1->setPlainText("  \n\t\n");
  window->close();
  EXPECT_FALSE(QFile::exists(files.defaultLogFile()));
}

// The send box's right-click menu is a text edit's own: the same entries, shortcuts and enabled
// states as a plain text edit in the same state shows, acting on the box's text.
TEST_F(MainWindowTest, SendBoxRightClickOpensATextEditsMenuWhoseCommandsActOnTheMessage) {
  start();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ui().Memo2->setPlainText("01 02");
  ui().Memo2->setFocus();
  QTest::keyClick(ui().Memo2, Qt::Key_A, Qt::ControlModifier);
  QApplication::clipboard()->setText("A5");
  QPlainTextEdit reference;
  reference.setPlainText("01 02");
  reference.selectAll();
  const auto entries = [](const QMenu& menu) {
    QStringList shown;
    for (const QAction* a : menu.actions()) {
      shown << (a->isSeparator() ? QStringLiteral("-")
                                 : a->text() + (a->isEnabled() ? "" : " (disabled)"));
    }
    return shown;
  };
  const auto openMenu = [&] {
    rightClick(ui().Memo2->viewport());
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
  };
  const auto choose = [](QMenu& menu, const char* name) {
    QAction* action = menu.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(action).center());
  };

  QMenu* menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(entries(*menu),
            entries(*std::unique_ptr<QMenu>(reference.createStandardContextMenu())));
  choose(*menu, "edit-delete");
  EXPECT_EQ(ui().Memo2->toPlainText(), "");
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(menu->findChild<QAction*>("select-all")->isEnabled());
  EXPECT_TRUE(menu->findChild<QAction*>("edit-undo")->isEnabled());
  EXPECT_FALSE(menu->findChild<QAction*>("edit-copy")->isEnabled());
  choose(*menu, "edit-undo");
  EXPECT_EQ(ui().Memo2->toPlainText(), "01 02");

  ui().Memo2->setCaret({0, 5});
  menu = openMenu();
  ASSERT_NE(menu, nullptr);
  choose(*menu, "edit-paste");
  EXPECT_EQ(ui().Memo2->toPlainText(), "01 02A5");
  QTest::keyClick(ui().Memo2, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ui().Memo2->toPlainText(), "01 02");
}

// The commands see what the user left in the log, edits included.
TEST_F(MainWindowTest, LogCommandsSelectCopyAndClearWhatTheLogHolds) {
  start();
  window->Log().AppendLogLine("RX:41 (00:00:00:000)", app::kRxColour);
  window->Log().AppendLogLine("TX:42 (00:00:00:001)", app::kTxColour);
  ui().Memo1->setFocus();
  QTest::keyClick(ui().Memo1, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(ui().Memo1, " edited");
  const auto command = [&](const char* name) {
    QAction* action = window->Log().PopupMenu2().findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    action->trigger();
  };
  command("MenuItem2");
  EXPECT_EQ(ui().Memo1->selectedText(),
            QStringLiteral("RX:41 (00:00:00:000)\u2029TX:42 (00:00:00:001) edited"));
  QApplication::clipboard()->clear();
  command("MenuItem3");
  EXPECT_EQ(QApplication::clipboard()->text(), "RX:41 (00:00:00:000)\nTX:42 (00:00:00:001) edited");
  command("MenuItem1");
  EXPECT_TRUE(ui().Memo1->toPlainText().isEmpty());
  window->Log().AppendLogLine("RX:43 (00:00:00:002)", app::kRxColour);
  ui().BtnClear->trigger();
  EXPECT_TRUE(ui().Memo1->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, SavingTheLogProposesTheMomentAndOpensTheFile) {
  start();
  window->Log().AppendLogLine("RX:41 (00:00:00:000)", app::kRxColour);
  prompts.fileAnswers.push_back(std::nullopt);
  window->Log().S2Click();
  ASSERT_EQ(prompts.fileRequests.size(), 1);
  EXPECT_TRUE(
      QRegularExpression("^\\d{14}$").match(prompts.fileRequests[0].proposedName).hasMatch());
  EXPECT_EQ(prompts.fileRequests[0].defaultSuffix, "txt");
  EXPECT_EQ(prompts.fileRequests[0].filter, "文本文件*.txt (*.txt)");
  EXPECT_TRUE(shell.opened.isEmpty());

  prompts.fileAnswers.push_back(dir.file("saved.txt"));
  window->Log().S2Click();
  EXPECT_EQ(shell.opened, QStringList{dir.file("saved.txt")});
  EXPECT_TRUE(
      testing_support::ReadAll(dir.file("saved.txt")).startsWith("RX:41 (00:00:00:000)\r\n"));

  prompts.fileAnswers.push_back(dir.file("missing-dir/saved.txt"));
  window->Log().S2Click();
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_TRUE(prompts.boxes[0].text.startsWith("Cannot create file \"" +
                                               dir.file("missing-dir/saved.txt")));
  EXPECT_EQ(shell.opened.size(), 1);
}

namespace {

// True once the program has read everything the device received: nothing waits in the input
// queue of the program's descriptor for `device`.
bool DeviceInputTaken(const QString& device) {
  int waiting = -1;
  const int fd = OpenDescriptorFor(device);
  return fd >= 0 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting == 0;
}

// The data of every RX line, joined as one hex text.
QString ReceivedHex(const QStringList& lines) {
  QStringList data;
  for (const QString& line : lines) {
    if (line.startsWith("RX:")) data << line.mid(3).section(" (", 0, 0);
  }
  return data.join(' ');
}

}  // namespace

// A port opened under a link to a pty, as the names under /dev/serial/by-id are, so the device
// can come back as another pty under the same name.
class DeviceLossTest : public MainWindowTest {
 protected:
  const QString port = dir.file("ttyUSB-by-id");
  std::unique_ptr<PtyPair> pty = std::make_unique<PtyPair>();

  void openThroughLink() {
    ASSERT_TRUE(QFile::link(pty->slavePath(), port));
    comset().writeString("ComSet", "port", port);
    start();
    ui().BtnOpenCom->trigger();
    ASSERT_TRUE(window->Opened());
  }

  // The adapter pulled: its link goes and the far end hangs up.
  void pull() {
    ASSERT_TRUE(QFile::remove(port));
    pty.reset();
  }

  // The adapter back, as another device under the same name.
  void plugBack() {
    pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(QFile::link(pty->slavePath(), port));
  }

  bool lastLineIs(const QString& text) const {
    return !logLines().isEmpty() && logLines().last() == text;
  }
};

TEST_F(DeviceLossTest, ALostDeviceIsLoggedToItsLastByteReleasedAndOpenedAgainWhenItIsBack) {
  // The last chunk is still open at the loss.
  comset().writeInteger("ComSet", "RecieveDelay", 2000);
  openThroughLink();
  ui().Memo2->setPlainText("A5");
  ui().txtInteval1->setValue(100);
  QTest::mouseClick(ui().ceksend1, Qt::LeftButton);
  ASSERT_TRUE(window->Timer1().isActive());
  ASSERT_EQ(pty->read(1), QByteArray("\xA5"));
  QByteArray stream;
  for (int i = 0; i < 3000; ++i) stream.append(static_cast<char>(i * 7));
  pty->write(stream);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ReceivedHex(logLines()).size() >= 2048 * 3 - 1; }));
  const QString device = pty->slavePath();
  ASSERT_TRUE(QTest::qWaitFor([&] { return DeviceInputTaken(device); }));

  pull();  // in the middle of the stream's last chunk
  ASSERT_TRUE(QTest::qWaitFor([&] { return lastLineIs("========串口已断开========"); }));
  EXPECT_EQ(ReceivedHex(logLines()), QString::fromLatin1(codec::BytesToHexText(stream)));
  EXPECT_EQ(lineColour(ui().Memo1->document().lineCount() - 1), QColor(128, 128, 128));
  EXPECT_TRUE(prompts.boxes.isEmpty()) << "no box stops the user";
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(panel(1), " 端口状态: 关闭 ");
  EXPECT_FALSE(ui().ceksend1->isChecked());
  EXPECT_FALSE(window->Timer1().isActive());
  EXPECT_FALSE(ui().BtnSend1->isEnabled());
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
  EXPECT_TRUE(ui().btnCloseCom->isEnabled()) << "关闭 ends the waiting";
  EXPECT_EQ(OpenDescriptorFor(device), -1) << "the device is released";
  const double cpuBefore = CpuSecondsUsed();
  QTest::qWait(500);
  EXPECT_LT(CpuSecondsUsed() - cpuBefore, 0.15) << "waiting spends nothing";

  comset().writeInteger("ComSet", "RecieveDelay", 30);  // read at the next 打开, not now
  plugBack();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Opened(); }));
  EXPECT_TRUE(lastLineIs("========串口已重新打开========"));
  EXPECT_EQ(lineColour(ui().Memo1->document().lineCount() - 1), QColor(128, 128, 128));
  EXPECT_EQ(panel(0), port + ",9600,8,无,1");
  EXPECT_EQ(panel(1), " 端口状态: 打开 ");
  EXPECT_FALSE(ui().BtnOpenCom->isEnabled());
  EXPECT_EQ(window->SerialPort().Comm().ReadIntervalTimeout(), 2000u) << "the settings it had";
  QTest::mouseClick(ui().BtnSend1, Qt::LeftButton);
  EXPECT_EQ(pty->read(1), QByteArray("\xA5"));
  EXPECT_TRUE(logLines().last().startsWith("TX:A5 (")) << logLines().last().toStdString();
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(DeviceLossTest, ClosingWhileWaitingEndsTheWaitingAndOpenStillWorks) {
  openThroughLink();
  pull();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lastLineIs("========串口已断开========"); }));
  // The settings dialog left with 返回 leaves the waiting as it was; nothing opens meanwhile.
  EXPECT_TRUE(answerModal<dialogs::TfrmComSet>(
      [&] { ui().btnPortSet->trigger(); },
      [&](dialogs::TfrmComSet& dialog) {
        plugBack();
        QTest::qWait(1500);
        EXPECT_FALSE(window->Opened()) << "the dialog never meets an open channel";
        QTest::mouseClick(dialog.findChild<QPushButton*>("BtnSel"), Qt::LeftButton);
      }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Opened(); }));
  EXPECT_TRUE(lastLineIs("========串口已重新打开========"));

  pull();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lastLineIs("========串口已断开========"); }));
  ui().btnCloseCom->trigger();
  EXPECT_FALSE(ui().btnCloseCom->isEnabled());
  EXPECT_TRUE(ui().BtnOpenCom->isEnabled());
  EXPECT_EQ(panel(1), " 端口状态: 关闭 ");

  plugBack();
  QTest::qWait(1500);  // a reopen would come within a second
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(OpenDescriptorFor(pty->slavePath()), -1);
  EXPECT_TRUE(lastLineIs("========串口已断开========"));

  ui().BtnOpenCom->trigger();
  EXPECT_TRUE(window->Opened());
  pty->write("\x01");
  ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().last().startsWith("RX:01 ("); }));

  // A device lost again while nothing is plugged back is waited for; 打开 then fails as it
  // always has, and the failure ends the waiting.
  pull();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lastLineIs("========串口已断开========"); }));
  ui().BtnOpenCom->trigger();
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, "Error opening serial port.");
  EXPECT_FALSE(ui().btnCloseCom->isEnabled());
  plugBack();
  QTest::qWait(1500);
  EXPECT_FALSE(window->Opened());
}
