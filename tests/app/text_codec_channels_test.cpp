// Text in the chosen character set on the channels: received ASCII chunks decoded per stream,
// ASCII sends encoded, and a send that cannot be encoded refused before anything happens.
#include <QInputMethodEvent>
#include <QLabel>

#include "app/traffic_log.h"
#include "channels/socket_server.h"
#include "main_window_fixture.h"
#include "support/loopback_peer.h"
#include "support/pty_pair.h"
#include "support/scoped_env.h"

using testing_support::FreeLoopbackPort;
using testing_support::LoopbackPeer;
using testing_support::PtyPair;
using testing_support::ScopedEnv;

namespace {

const QByteArray kNihaoGbk("\xC4\xE3\xBA\xC3", 4);
const QByteArray kNihaoUtf8("\xE4\xBD\xA0\xE5\xA5\xBD", 6);

// The data text of a log line: what lies between the "RX:"/"TX:" and the time stamp.
QString dataOf(const QString& line) { return line.mid(3).section(QStringLiteral(" ("), 0, -2); }

}  // namespace

TEST_F(MainWindowTest, Gb18030ShowsGbkTextWholeAcrossChunksAndStartsAfreshAtEveryOpen) {
  PtyPair pty;
  ASSERT_TRUE(pty.valid());
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  comset().writeString("ComSet", "TextCodec", "GB18030");
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());

  const auto receive = [&](const QByteArray& bytes) {
    const int before = logLines().size();
    pty.write(bytes);
    EXPECT_TRUE(waitForLogLines(before + 1));
    return dataOf(logLines().value(before));
  };
  EXPECT_EQ(receive(kNihaoGbk), QStringLiteral("你好"));
  // 你 cut after its first byte: the first line holds what was whole, the second the rest.
  EXPECT_EQ(receive("A\xC4"), QStringLiteral("A"));
  EXPECT_EQ(receive("\xE3"
                    "B"),
            QStringLiteral("你B"));
  EXPECT_FALSE(logLines().join(u'|').contains(QChar::ReplacementCharacter));
  // A byte still held when the channel closes goes with it: after the next open, C is C.
  EXPECT_EQ(receive("\xBA"), QString());
  ui().btnCloseCom->trigger();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  EXPECT_EQ(receive("C"), QStringLiteral("C"));
  // Hex shows the bytes as ever.
  comset().writeInteger("ComSet", "ReceiveStyle", 0);
  ui().btnCloseCom->trigger();
  ui().BtnOpenCom->trigger();
  EXPECT_EQ(receive(kNihaoGbk), QStringLiteral("C4 E3 BA C3"));
}

TEST_F(MainWindowTest, Gb18030SendsTheTypedTextAsItsBytesAndRefusesACharacterItCannotEncode) {
  PtyPair pty;
  comset().writeString("ComSet", "port", pty.slavePath());
  comset().writeInteger("ComSet", "SendStyle", 1);
  comset().writeString("ComSet", "TextCodec", "GB18030");
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());

  // Typed through an input method, as a Chinese user types: the box asks for one, shows the
  // pinyin being composed and takes the committed characters.
  ui().Memo2->setFocus();
  QInputMethodQueryEvent query(Qt::ImEnabled);
  QApplication::sendEvent(ui().Memo2, &query);
  EXPECT_TRUE(query.value(Qt::ImEnabled).toBool());
  QInputMethodEvent composing(QStringLiteral("nihao"), {});
  QApplication::sendEvent(ui().Memo2, &composing);
  EXPECT_EQ(ui().Memo2->toPlainText(), "");
  QInputMethodEvent committed;
  committed.setCommitString(QStringLiteral("你好"));
  QApplication::sendEvent(ui().Memo2, &committed);
  QTest::mouseClick(ui().BtnSend1, Qt::LeftButton);
  EXPECT_EQ(pty.read(4), kNihaoGbk);
  ASSERT_EQ(logLines().size(), 1);
  EXPECT_EQ(dataOf(logLines()[0]), QStringLiteral("你好"));

  // A lone surrogate has no bytes in any set. Sending continuously, the first tick reports it
  // once and stops the sending: nothing goes out, nothing is logged.
  ui().Memo2->setPlainText(QStringLiteral("ok") + QChar(0xDC01));
  ui().txtInteval1->setValue(20);
  int ticksDuringTheBox = 0;
  prompts.onBox = [&] {
    QObject::connect(&window->Timer1(), &QTimer::timeout, [&] { ++ticksDuringTheBox; });
    QTest::qWait(100);  // the box's own event loop
  };
  QTest::mouseClick(ui().ceksend1, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.boxes.isEmpty(); }, 5000));
  QTest::qWait(100);
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].icon, widgets::PromptIcon::Error);
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("OruvoTarvix通讯调试软件"));
  EXPECT_EQ(prompts.boxes[0].text,
            QStringLiteral("报文未发送：无法用 GB18030 编码字符“�”(U+DC01)"));
  EXPECT_EQ(ticksDuringTheBox, 0);
  EXPECT_FALSE(ui().ceksend1->isChecked());
  EXPECT_FALSE(window->Timer1().isActive());
  EXPECT_EQ(pty.read(1, std::chrono::milliseconds(200)), QByteArray());
  EXPECT_EQ(logLines().size(), 1);
}

// Each client of the server has its own decoder, so halves of characters from two clients
// interleaved still make whole characters; without the key a UTF-8 locale means UTF-8.
TEST_F(MainWindowTest, WithoutTheKeyEachServerClientsUtf8TextComesOutWholeAndIsSentAsUtf8) {
  ScopedEnv locale("LC_ALL", "C.UTF-8");
  const int port = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", port);
  comset().writeInteger("ComSet", "SendStyle", 1);
  comset().writeInteger("ComSet", "ReceiveStyle", 1);
  start();
  ui().BtnOpenCom->trigger();
  ASSERT_TRUE(window->Opened());
  LoopbackPeer first = LoopbackPeer::Connect(port);
  LoopbackPeer second = LoopbackPeer::Connect(port);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->ServerPort().ConnectionCount() == 2; }, 5000));

  const QByteArray ni = kNihaoUtf8.first(3);
  const QByteArray hao = kNihaoUtf8.sliced(3);
  int lines = 0;
  for (const auto& [peer, bytes] :
       {std::pair{&first, ni.first(2)}, std::pair{&second, hao.first(1)},
        std::pair{&first, ni.sliced(2) + "1"}, std::pair{&second, hao.sliced(1) + "2"}}) {
    peer->write(bytes);
    ASSERT_TRUE(waitForLogLines(++lines));
  }
  QStringList data;
  for (const QString& line : logLines()) data << dataOf(line);
  EXPECT_EQ(data, (QStringList{"", "", "你1", "好2"}));

  ui().Memo2->setPlainText(QStringLiteral("你好"));
  QTest::mouseClick(ui().BtnSend1, Qt::LeftButton);
  EXPECT_EQ(first.read(6), kNihaoUtf8);
  EXPECT_EQ(second.read(6), kNihaoUtf8);
}
