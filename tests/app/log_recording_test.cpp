// Recording the traffic log to a file, from the tools menu: every line the log writes goes into
// the file, cleared or not; a recording is continued by a second start; a file that fails ends
// the recording with the error box.
#include "app/log_recording.h"
#include "codec/text_codec.h"

#include <QMenu>
#include <QRegularExpression>
#include <cstring>

#include "app/traffic_log.h"
#include "main_window_fixture.h"

namespace {

const QString kRecordingTitle = "OruvoTarvix通讯调试软件 - 记录中";

class LogRecordingTest : public MainWindowTest {
 protected:
  // Chooses "记录到文件(&L)..." in the tools menu with the mouse.
  void clickRecordCommand() {
    QMenu& menu = *ui().J1;
    menu.popup(window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(ui().btnRecord).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu.isVisible(); }, 5000));
  }
  void recordInto(const QString& path) {
    prompts.fileAnswers.push_back(path);
    clickRecordCommand();
  }
  QString recordKey(const char* key) const { return comset().readString("Record", key, "-"); }
};

// The file's lines without their time stamps.
QStringList recordedLines(const QString& path) {
  static const QRegularExpression stamp(" \\(\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d\\)$");
  QStringList lines = QString::fromUtf8(testing_support::ReadAll(path)).split("\r\n");
  EXPECT_EQ(lines.takeLast(), "");  // every line ends in CR LF
  for (QString& line : lines) line.remove(stamp);
  return lines;
}

}  // namespace

TEST_F(LogRecordingTest, EveryLineWrittenIsRecordedInOrderEvenWhatTheLogClearedAndAStartContinues) {
  start();
  const QString panelsBefore = panel(0) + panel(1) + panel(2) + panel(3) + panel(4);
  EXPECT_EQ(ui().btnRecord->text(), "记录到文件(&L)...");
  EXPECT_TRUE(ui().btnRecord->isCheckable());
  EXPECT_FALSE(ui().btnRecord->isChecked());

  // Cancelled: nothing records.
  prompts.fileAnswers.push_back(std::nullopt);
  clickRecordCommand();
  EXPECT_FALSE(ui().btnRecord->isChecked());
  EXPECT_EQ(window->windowTitle(), "OruvoTarvix通讯调试软件");
  ASSERT_EQ(prompts.fileRequests.size(), 1);
  const widgets::FileDialogRequest& asked = prompts.fileRequests[0];
  EXPECT_EQ(asked.directory, files.logDir);
  EXPECT_TRUE(
      QRegularExpression("^报文记录-\\d{8}-\\d{6}\\.txt$").match(asked.proposedName).hasMatch())
      << asked.proposedName.toStdString();
  EXPECT_FALSE(asked.confirmOverwrite);  // a file that exists is continued

  const QString path = dir.file("rec.txt");
  testing_support::WriteAll(path, "earlier\r\n");
  recordInto(path);
  EXPECT_TRUE(ui().btnRecord->isChecked());
  EXPECT_EQ(window->windowTitle(), kRecordingTitle);
  EXPECT_EQ(panel(0) + panel(1) + panel(2) + panel(3) + panel(4), panelsBefore);
  EXPECT_EQ(recordKey("Enabled"), "1");
  EXPECT_EQ(recordKey("File"), path);

  // Enough received lines for the size rule to clear the log several times, some of them never
  // shown, among a header, a sent line and a received line with line breaks.
  app::TrafficLog& log = window->Log();
  codec::TextDecoder decoder;
  QStringList expected{"earlier", "========first========", "TX:AA (00:00:00:000)"};
  log.AppendLogLine(expected[1], app::kHeaderColour);
  log.AppendLogLine(expected[2], app::kTxColour);
  expected.last().remove(" (00:00:00:000)");
  for (int i = 0; i < 40; ++i) {
    const QByteArray chunk(2000, static_cast<char>(i));
    log.ReceiveChunk(chunk, store::Representation::Hex, decoder);
    expected << "RX:" + app::ReceivedDataText(chunk, store::Representation::Hex, decoder);
  }
  log.ReceiveChunk("one\r\ntwo\nthree", store::Representation::Ascii, decoder);
  expected << "RX:one"
           << "two"
           << "three";
  // The log kept only its last lines.
  EXPECT_FALSE(ui().Memo1->document().toPlainText().contains(expected[3] + " ("));

  clickRecordCommand();  // unticked: stops
  EXPECT_FALSE(ui().btnRecord->isChecked());
  EXPECT_EQ(window->windowTitle(), "OruvoTarvix通讯调试软件");
  EXPECT_EQ(recordKey("Enabled"), "0");
  log.AppendLogLine("TX:BB (00:00:00:000)", app::kTxColour);  // not recorded
  EXPECT_EQ(recordedLines(path), expected);

  // Ticked again on the same file, then the program closed while it records and started again:
  // it records on at once, into the same file, after what it holds.
  recordInto(path);
  log.AppendLogLine("TX:CC (00:00:00:000)", app::kTxColour);
  window->close();
  window.reset();
  EXPECT_EQ(recordKey("Enabled"), "1");
  const qsizetype dialogs = prompts.fileRequests.size();
  start();
  EXPECT_TRUE(ui().btnRecord->isChecked());
  EXPECT_EQ(window->windowTitle(), kRecordingTitle);
  EXPECT_EQ(prompts.fileRequests.size(), dialogs);
  window->Log().AppendLogLine("TX:DD (00:00:00:000)", app::kTxColour);
  window.reset();
  expected << "TX:CC"
           << "TX:DD";
  EXPECT_EQ(recordedLines(path), expected);
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(LogRecordingTest, AFileThatFailsIsReportedUntickedAndDisabledWhileTheLogGoesOn) {
  start();
  // /dev/full opens and refuses every write with ENOSPC, as a full disk does.
  recordInto("/dev/full");
  window->Log().AppendLogLine("TX:01 (00:00:00:000)", app::kTxColour);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.boxes.isEmpty(); }, 10000));
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].icon, widgets::PromptIcon::Error);
  EXPECT_EQ(prompts.boxes[0].caption, "OruvoTarvix通讯调试软件");
  EXPECT_TRUE(prompts.boxes[0].text.startsWith(QString("Cannot write file \"/dev/full\". ") +
                                               std::strerror(ENOSPC) + ". 1 line of the log"))
      << prompts.boxes[0].text.toStdString();
  EXPECT_FALSE(ui().btnRecord->isChecked());
  EXPECT_EQ(window->windowTitle(), "OruvoTarvix通讯调试软件");
  EXPECT_EQ(recordKey("Enabled"), "0");
  window->Log().AppendLogLine("TX:02 (00:00:00:000)", app::kTxColour);
  EXPECT_EQ(logLines(), (QStringList{"TX:01 (00:00:00:000)", "TX:02 (00:00:00:000)"}));

  // A file that cannot be opened, from a start that resumes recording into it.
  window.reset();
  const QString missing = dir.file("gone/rec.txt");
  comset().writeString("Record", "File", missing);
  comset().writeBool("Record", "Enabled", true);
  start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.boxes.size() == 2; }, 10000));
  EXPECT_EQ(prompts.boxes[1].text,
            "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT) + '.');
  EXPECT_FALSE(ui().btnRecord->isChecked());
  EXPECT_EQ(recordKey("Enabled"), "0");
}
