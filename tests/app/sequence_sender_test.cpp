#include <QTabWidget>

#include "app/traffic_log.h"
#include "channels/socket_server.h"
#include "dialogs/define_send.h"
#include "main_window_fixture.h"
#include "support/loopback_peer.h"
#include "support/pty_pair.h"
#include "widgets/message_grid.h"

using testing_support::PtyPair;
using testing_support::WriteAll;

class SequenceSenderTest : public MainWindowTest {
 protected:
  PtyPair pty;

  void startWithList(const QByteArray& list) {
    WriteAll(files.defaultSendFile(), list);
    comset().writeString("ComSet", "port", pty.slavePath());
    start();
    ui().PageControl1->setCurrentIndex(1);
    ui().BtnOpenCom->trigger();
    ASSERT_TRUE(window->Opened());
  }
};

TEST_F(SequenceSenderTest, GridShowsTheCurrentListWithItsNameColumnFitted) {
  startWithList("3\r\n1,Reset,\"aa 55\"\r\n2,\"a much longer message name\",7F\r\n");
  const widgets::TPowerStringGrid& grid = *ui().GrdSend;
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(1, 2), "a much longer message name");
  EXPECT_EQ(grid.Cells(2, 1), "aa 55");
  const int nameWidth = grid.fontMetrics().horizontalAdvance("a much longer message name");
  EXPECT_GE(grid.ColWidths(1), nameWidth + 20);
  // The row numbers are centred, and so is every title.
  const QAbstractItemModel& model = *grid.model();
  const auto cellAlignment = [&](int col) {
    return model.data(model.index(0, col), Qt::TextAlignmentRole).value<Qt::Alignment>();
  };
  const auto titleAlignment = [&](int col) {
    return model.headerData(col, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
  };
  EXPECT_EQ(cellAlignment(0) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  for (int col = 0; col < 3; ++col) {
    EXPECT_EQ(titleAlignment(col) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << col;
  }
}

TEST_F(SequenceSenderTest, AfterTheEditorClosesTheGridShowsTheListItLastHadOpen) {
  startWithList("2\r\n1,a,11\r\n");
  const QString other = dir.file("other.sen");
  WriteAll(other, "3\r\n1,Reset,\"aa 55\"\r\n2,\"a much longer message name\",7F\r\n");
  prompts.fileAnswers.push_back(other);
  const auto openOtherAndGoBack = [](dialogs::TfrmDefineSend& editor) {
    editor.findChild<QToolButton*>("BtnOpen")->click();
    editor.findChild<QToolButton*>("BtnBack")->click();
  };
  ASSERT_TRUE(
      answerModal<dialogs::TfrmDefineSend>([&] { ui().BtnUpdate->click(); }, openOtherAndGoBack));
  EXPECT_EQ(comset().readString("DefineSend", "SendFileName", ""), other);
  const widgets::TPowerStringGrid& grid = *ui().GrdSend;
  ASSERT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(1, 1), "Reset");
  EXPECT_EQ(grid.Cells(2, 1), "aa 55");
  EXPECT_EQ(grid.Cells(1, 2), "a much longer message name");
  EXPECT_EQ(grid.Cells(2, 2), "7F");
  const int nameWidth = grid.fontMetrics().horizontalAdvance("a much longer message name");
  EXPECT_GE(grid.ColWidths(1), nameWidth + 20);
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(SequenceSenderTest, RowIsSentAfterABlackHeaderLine) {
  startWithList("2\r\n1,Reset,\"aa 55\"\r\n");
  ui().GrdSend->setRow(1);
  ui().BtnSend2->click();
  EXPECT_EQ(pty.read(2), QByteArray("\xaa\x55", 2));
  ASSERT_EQ(logLines().size(), 2);
  EXPECT_EQ(logLines()[0], "========Reset========");
  EXPECT_EQ(lineColour(0), app::kHeaderColour);
  EXPECT_TRUE(logLines()[1].startsWith("TX:AA 55 ("));
  EXPECT_EQ(lineColour(1), app::kTxColour);
}

TEST_F(SequenceSenderTest, EmptyContentWritesOnlyTheHeader) {
  startWithList("2\r\n1,Nothing,\r\n");
  ui().GrdSend->setRow(1);
  ui().BtnSend2->click();
  EXPECT_EQ(logLines(), QStringList{"========Nothing========"});
}

TEST_F(SequenceSenderTest, CyclingStepsThroughTheRowsAndWrapsAround) {
  startWithList("4\r\n1,a,11\r\n2,b,22\r\n3,c,33\r\n");
  ui().GrdSend->setRow(2);
  ui().cekCircle->setChecked(true);
  ui().txtInteval2->setValue(30);
  ui().ceksend2->setChecked(true);
  EXPECT_FALSE(ui().BtnUpdate->isEnabled());
  EXPECT_FALSE(ui().BtnSend2->isEnabled());
  EXPECT_EQ(pty.read(4), QByteArray("\x22\x33\x11\x22"));
  ui().ceksend2->setChecked(false);
  EXPECT_TRUE(ui().BtnUpdate->isEnabled());
}

TEST_F(SequenceSenderTest, WithoutCyclingEveryTickSendsTheSameRow) {
  startWithList("4\r\n1,a,11\r\n2,b,22\r\n3,c,33\r\n");
  ui().GrdSend->setRow(2);
  ui().txtInteval2->setValue(30);
  ui().ceksend2->setChecked(true);
  EXPECT_EQ(pty.read(3), QByteArray("\x22\x22\x22"));
}

TEST_F(SequenceSenderTest, DoubleClickSendsOnlyWhileTheSendButtonIsEnabled) {
  startWithList("2\r\n1,a,11\r\n");
  ui().GrdSend->setRow(1);
  ui().txtInteval2->setValue(100000);
  ui().ceksend2->setChecked(true);
  emit ui().GrdSend->DblClick();
  EXPECT_TRUE(logLines().isEmpty());
  ui().ceksend2->setChecked(false);
  emit ui().GrdSend->DblClick();
  EXPECT_EQ(pty.read(1), QByteArray("\x11"));
  ui().btnCloseCom->trigger();
  emit ui().GrdSend->DblClick();
  EXPECT_EQ(logLines().size(), 2);
}

TEST_F(SequenceSenderTest, TheContentColumnFillsTheGridWhenThePageIsFirstShownAndOnResize) {
  WriteAll(files.defaultSendFile(), "2\r\n1,a,11\r\n");
  start();
  ui().PageControl1->setCurrentIndex(0);
  window->resize(760, 520);
  QCoreApplication::processEvents();
  ui().PageControl1->setCurrentIndex(1);
  QCoreApplication::processEvents();
  const widgets::TPowerStringGrid& grid = *ui().GrdSend;
  const auto filled = [&] { return grid.width() - grid.ColWidths(0) - grid.ColWidths(1) - 30; };
  EXPECT_GT(grid.ColWidths(2), 0);
  EXPECT_EQ(grid.ColWidths(2), filled());
  window->resize(900, 520);
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.ColWidths(2), filled());
}

TEST_F(SequenceSenderTest, AnAsciiRowGoesOutAndIsEchoedAsStored) {
  comset().writeInteger("ComSet", "SendStyle", 1);
  startWithList("2\r\n1,Hello,\"hi there\"\r\n");
  ui().GrdSend->setRow(1);
  ui().BtnSend2->click();
  EXPECT_EQ(pty.read(8), QByteArray("hi there"));
  ASSERT_EQ(logLines().size(), 2);
  EXPECT_TRUE(logLines()[1].startsWith("TX:hi there (")) << logLines()[1].toStdString();
}

// The rows go to every client of the server in acceptance order, and to the client's server,
// once per click and at every tick while cycling.
TEST_F(SequenceSenderTest, RowsGoOutOverBothTcpChannels) {
  using testing_support::FreeLoopbackPort;
  using testing_support::LoopbackListener;
  using testing_support::LoopbackPeer;
  WriteAll(files.defaultSendFile(), "3\r\n1,a,11\r\n2,b,22\r\n");

  const int serverPort = FreeLoopbackPort();
  comset().writeInteger("ComSet", "Style", 1);
  comset().writeInteger("ComSet", "SPort", serverPort);
  start();
  ui().PageControl1->setCurrentIndex(1);
  ui().BtnOpenCom->trigger();
  LoopbackPeer first = LoopbackPeer::Connect(serverPort);
  LoopbackPeer second = LoopbackPeer::Connect(serverPort);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->ServerPort().ConnectionCount() == 2; }, 5000));
  ui().GrdSend->setRow(1);
  ui().BtnSend2->click();
  ui().cekCircle->setChecked(true);
  ui().txtInteval2->setValue(30);
  ui().ceksend2->setChecked(true);
  EXPECT_EQ(first.read(4), QByteArray("\x11\x11\x22\x11"));
  EXPECT_EQ(second.read(4), QByteArray("\x11\x11\x22\x11"));
  ui().ceksend2->setChecked(false);
  window.reset();

  const int clientPort = FreeLoopbackPort();
  LoopbackListener server(clientPort);
  comset().writeInteger("ComSet", "Style", 2);
  comset().writeInteger("ComSet", "CPort", clientPort);
  start();
  ui().PageControl1->setCurrentIndex(1);
  ui().BtnOpenCom->trigger();
  LoopbackPeer peer = server.accept();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel(1) == " 已连接"; }, 5000));
  ui().GrdSend->setRow(2);
  ui().BtnSend2->click();
  EXPECT_EQ(peer.read(1), QByteArray("\x22"));
}
