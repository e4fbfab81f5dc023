#include "app/traffic_log.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QScrollBar>
#include <vector>

#include "app/log_time_stamp.h"
#include "codec/text_codec.h"
#include "textview/text_view.h"

#include "support/fake_prompts.h"

namespace {

struct LogUnderTest {
  textview::TextView view;
  testing_support::FakePrompts prompts;
  testing_support::FakeShell shell;
  app::TrafficLog log{view, prompts, shell};
  codec::TextDecoder decoder;

  QStringList dataOfLines() {
    log.flush();
    QStringList lines;
    for (int line = 0; line < view.document().lineCount(); ++line) {
      lines << view.document().lineText(line).section(" (", 0, 0);
    }
    return lines;
  }
};

}  // namespace

TEST(TrafficLog, ReceivedLinesWrittenLaterFollowTheSizeRuleExactly) {
  LogUnderTest t;
  // The same chunks written one by one straight into a plain list, by the rule itself.
  QStringList expected;
  qsizetype expectedLength = 0;
  for (int i = 0; i < 60; ++i) {
    const QByteArray chunk(300 + i * 37, static_cast<char>(i));
    if (expectedLength > app::kLogSizeLimit) {
      expected.clear();
      expectedLength = 0;
    }
    const QString line =
        "RX:" + app::ReceivedDataText(chunk, store::Representation::Hex, t.decoder);
    expectedLength += (expected.isEmpty() ? 0 : 2) + line.size() + 15;  // " (hh:mm:ss:zzz)"
    expected << line;
    t.log.ReceiveChunk(chunk, store::Representation::Hex, t.decoder);
    ASSERT_EQ(t.log.TextLength(), expectedLength) << "after chunk " << i;
  }
  EXPECT_EQ(t.dataOfLines(), expected);
  EXPECT_EQ(t.log.TextLength(), expectedLength);
}

TEST(TrafficLog, OtherWritersAndReadersSeeThePendingLinesInOrder) {
  LogUnderTest t;
  t.log.ReceiveChunk(QByteArray("\x01", 1), store::Representation::Hex, t.decoder);
  t.log.AppendLogLine("TX:02 (00:00:00:000)", app::kTxColour);
  t.log.ReceiveChunk(QByteArray("\x03", 1), store::Representation::Hex, t.decoder);
  EXPECT_FALSE(t.log.IsBlank());
  EXPECT_EQ(t.dataOfLines(), (QStringList{"RX:01", "TX:02", "RX:03"}));
  t.log.ReceiveChunk(QByteArray("\x04", 1), store::Representation::Hex, t.decoder);
  t.log.Clear();
  EXPECT_TRUE(t.log.IsBlank());
  EXPECT_EQ(t.log.TextLength(), 0);
}

TEST(TrafficLog, LinesWrittenInOneFlushKeepEachItsColourAndLeaveTheCaretAtTheEnd) {
  LogUnderTest t;
  t.log.AppendLogLine("========A========", app::kHeaderColour);
  t.log.ReceiveChunk(QByteArray("\x01\x02", 2), store::Representation::Hex, t.decoder);
  t.log.ReceiveChunk(QByteArray("hi\r\nyo", 6), store::Representation::Ascii, t.decoder);
  t.log.AppendLogLine("TX:03 (00:00:00:000)", app::kTxColour);
  ASSERT_EQ(t.view.document().lineCount(), 5);
  const QList<QColor> expected{app::kHeaderColour, app::kRxColour, app::kRxColour, app::kRxColour,
                               app::kTxColour};
  for (int index = 0; index < 5; ++index) {
    EXPECT_EQ(t.view.document().lineColour(index), expected[index])
        << "line " << index << ": " << t.view.document().lineText(index).toStdString();
  }
  EXPECT_EQ(t.view.caret(), t.view.document().end());
}

TEST(TrafficLog, TheViewFollowsTheCaretToTheLastLine) {
  LogUnderTest t;
  t.view.resize(300, 120);
  t.view.show();
  QScrollBar& bar = *t.view.verticalScrollBar();
  for (int i = 0; i < 40; ++i)
    t.log.ReceiveChunk(QByteArray(100, static_cast<char>(i)), store::Representation::Hex,
                       t.decoder);
  t.log.flush();
  QCoreApplication::processEvents();
  ASSERT_GT(bar.maximum(), 0);
  EXPECT_EQ(bar.value(), bar.maximum());
  // The user scrolls back; the next sent line brings the caret, at the end, into view again.
  bar.setValue(0);
  t.log.ScrollLogToEnd();
  t.log.AppendLogLine("TX:01 (00:00:00:000)", app::kTxColour);
  QCoreApplication::processEvents();
  EXPECT_GT(bar.value(), bar.maximum() / 2);
  EXPECT_EQ(t.view.caret(), t.view.document().end());
  EXPECT_TRUE(t.view.viewport()->rect().contains(t.view.caretRect()));
}

TEST(TrafficLog, ALineAfterAboutAFrameOfQuietIsShownAtOnceAndAFastStreamOncePerFrame) {
  LogUnderTest t;
  const auto shownLines = [&] {
    QCoreApplication::processEvents();  // a flush due at once runs on the next pass
    QCoreApplication::processEvents();
    return t.view.document().isEmpty() ? 0 : t.view.document().lineCount();
  };
  QElapsedTimer sinceSecond;
  t.log.ReceiveChunk("1", store::Representation::Hex, t.decoder);
  EXPECT_EQ(shownLines(), 1) << "the first line is shown at once";
  t.log.ReceiveChunk("2", store::Representation::Hex, t.decoder);
  sinceSecond.start();
  EXPECT_EQ(shownLines(), 1) << "a line within the frame waits for it";
  while (shownLines() < 2 && sinceSecond.elapsed() < 1000) {
  }
  ASSERT_EQ(shownLines(), 2);
  // The second line was shown a frame after the first; the third comes a little more than a
  // frame after the second, as a device writing a line about every frame sends them.
  while (sinceSecond.elapsed() < 50) QCoreApplication::processEvents();
  t.log.ReceiveChunk("3", store::Representation::Hex, t.decoder);
  QElapsedTimer sinceThird;
  sinceThird.start();
  EXPECT_EQ(shownLines(), 3) << "a line a frame after the one before is shown at once";
  // The fourth comes a little less than a frame after the third: shown at once as well, or a
  // device writing once a frame would wake the window twice for every other line.
  while (sinceThird.elapsed() < 36) QCoreApplication::processEvents();
  t.log.ReceiveChunk("4", store::Representation::Hex, t.decoder);
  EXPECT_EQ(shownLines(), 4) << "a line nearly a frame after the one before is shown at once";
}

TEST(LogClosingLine, GivesTheLocalesShortDateAndLongTimeWithoutTheZone) {
  const QDateTime moment(QDate(2026, 3, 4), QTime(21, 5, 9));
  EXPECT_EQ(app::LogClosingLine(moment, QLocale(QLocale::English, QLocale::UnitedStates)),
            QStringLiteral("3/4/26 9:05:09 PM"));
  EXPECT_EQ(app::LogClosingLine(moment, QLocale(QLocale::Chinese, QLocale::China)),
            QStringLiteral("2026/3/4 21:05:09"));
  EXPECT_EQ(app::LogClosingLine(moment, QLocale(QLocale::German, QLocale::Germany)),
            QStringLiteral("04.03.26 21:05:09"));
}

TEST(ReceivedDataText, ShowsZeroBytesAndLineBreaksOfAsciiChunks) {
  codec::TextDecoder decoder;
  EXPECT_EQ(app::ReceivedDataText(QByteArray("hi", 2), store::Representation::Hex, decoder),
            "68 69");
  EXPECT_EQ(app::ReceivedDataText(QByteArray("hi", 2), store::Representation::Ascii, decoder),
            "hi");
  EXPECT_EQ(
      app::ReceivedDataText(QByteArray("A\0B\r\nC\rD", 8), store::Representation::Ascii, decoder),
      QString("A") + QChar(0x2400) + "B\nC\nD");
}

TEST(LogTimeStamp, GivesTheLocalTimeOfDayAcrossOffsetChangesMidnightAndClockJumps) {
  const QByteArray zoneBefore = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  const auto utc = [](int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::UTC)
        .toMSecsSinceEpoch();
  };
  // Stamps just before and after the clocks go forward and back, around local midnight, before
  // 1970, and with the clock set back an hour or on a day between stamps.
  std::vector<qint64> moments;
  for (const qint64 change : {utc(3, 29, 1, 0), utc(10, 25, 1, 0), utc(6, 30, 22, 0)}) {
    for (qint64 step = -2500; step <= 2500; step += 250) moments.push_back(change + step);
  }
  moments.push_back(utc(10, 25, 1, 30));
  moments.push_back(utc(10, 25, 0, 30));
  moments.push_back(utc(10, 26, 0, 30));
  moments.push_back(-86'400'000LL * 400 + 123);
  moments.push_back(utc(10, 25, 0, 30) + 999);
  for (const qint64 moment : moments) {
    EXPECT_EQ(app::LogTimeStampAt(moment).toStdString(),
              QDateTime::fromMSecsSinceEpoch(moment).toString("HH:mm:ss:zzz").toStdString())
        << moment;
  }
  if (zoneBefore.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", zoneBefore);
}
