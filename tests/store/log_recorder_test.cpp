// The recorder of the traffic log against real files: the order of the lines, a file continued,
// numbered parts at the size limit, a program killed while it records, and files that fail.
#include "store/log_recorder.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QTest>
#include <atomic>
#include <cstring>
#include <thread>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadAll;
using testing_support::RunInChild;
using testing_support::TempDir;
using testing_support::WriteAll;

QByteArray numberedLine(int i, int width) {
  QByteArray line = "line " + QByteArray::number(i);
  return line.leftJustified(width - 2, '.') + "\r\n";
}

}  // namespace

TEST(LogRecorder, AppendsInOrderContinuesTheFileAndGoesOnInNumberedPartsBeforeTheLimit) {
  TempDir dir;
  const QString path = dir.file("rec.txt");
  WriteAll(path, "old\r\n");  // 5 bytes
  {
    store::LogRecorder recorder(path, {}, 100);
    for (int i = 0; i < 7; ++i) recorder.record(numberedLine(i, 30));
    recorder.record(QByteArray(120, 'L'));  // larger than a part: whole, in a part of its own
    EXPECT_FALSE(recorder.stop().has_value());
  }
  EXPECT_EQ(ReadAll(path),
            "old\r\n" + numberedLine(0, 30) + numberedLine(1, 30) + numberedLine(2, 30));
  EXPECT_EQ(ReadAll(dir.file("rec-2.txt")),
            numberedLine(3, 30) + numberedLine(4, 30) + numberedLine(5, 30));
  EXPECT_EQ(ReadAll(dir.file("rec-3.txt")), numberedLine(6, 30));
  EXPECT_EQ(ReadAll(dir.file("rec-4.txt")), QByteArray(120, 'L'));

  // A second recording into the same file goes on where the first ended: parts 1 to 3 have no
  // room for the line, part 4 is at the limit, so it opens part 5.
  {
    store::LogRecorder recorder(path, {}, 100);
    recorder.record(numberedLine(7, 30));
  }
  EXPECT_EQ(ReadAll(dir.file("rec-5.txt")), numberedLine(7, 30));
  EXPECT_EQ(ReadAll(path).size(), 95);

  EXPECT_EQ(store::RecordPartPath("/a.b/c.txt", 1), "/a.b/c.txt");
  EXPECT_EQ(store::RecordPartPath("/a.b/c.d.txt", 12), "/a.b/c.d-12.txt");
  EXPECT_EQ(store::RecordPartPath("/a.b/c", 2), "/a.b/c-2");
  EXPECT_EQ(store::RecordPartPath("/a/.log", 2), "/a/.log-2");
}

TEST(LogRecorder, AProgramKilledWhileItRecordsKeepsEveryLineRecordedASecondBefore) {
  TempDir dir;
  const QString path = dir.file("rec.txt");
  QByteArray early;
  for (int i = 0; i < 200; ++i) early += numberedLine(i, 60);
  const auto outcome = RunInChild([&](int) {
    store::LogRecorder recorder(path, {});
    for (int i = 0; i < 200; ++i) recorder.record(numberedLine(i, 60));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    recorder.record("late\r\n");
    ::raise(SIGKILL);  // no destructor, no stop: what is not yet in the file is gone
    return 0;
  });
  ASSERT_TRUE(WIFSIGNALED(outcome.status));
  EXPECT_EQ(WTERMSIG(outcome.status), SIGKILL);
  const QByteArray recorded = ReadAll(path);
  EXPECT_TRUE(recorded == early || recorded == early + "late\r\n") << recorded.size();
}

TEST(LogRecorder, AFileThatCannotBeWrittenOrOpenedIsReportedOnceWithEveryLineNotRecorded) {
  std::atomic<int> reports = 0;
  {
    // /dev/full takes the open and refuses every write with ENOSPC, as a full disk does.
    store::LogRecorder recorder("/dev/full", [&] { ++reports; });
    recorder.record("RX:01 (00:00:00:000)\r\n");
    recorder.record("TX:02 03 (00:00:00:001)\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports > 0; }, 10000));
    recorder.record("RX:04 (00:00:00:002)\r\n");  // after the failure: counted, not written
    const auto failure = recorder.stop();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, "/dev/full");
    EXPECT_EQ(failure->error.code, ENOSPC);
    EXPECT_FALSE(failure->opening);
    EXPECT_EQ(failure->linesLost, 3);
    EXPECT_EQ(failure->bytesLost, 22 + 25 + 22);
    EXPECT_EQ(store::RecordFailureMessage(*failure),
              QString("Cannot write file \"/dev/full\". ") + std::strerror(ENOSPC) +
                  ". 3 lines of the log (69 bytes) were not recorded");
    EXPECT_EQ(recorder.stop()->linesLost, 3);
  }
  EXPECT_EQ(reports, 1);

  TempDir dir;
  const QString missing = dir.file("gone/rec.txt");
  store::LogRecorder recorder(missing, [&] { ++reports; });
  recorder.record("RX:05 (00:00:00:003)\r\n");
  const auto failure = recorder.stop();
  ASSERT_TRUE(failure.has_value());
  EXPECT_TRUE(failure->opening);
  EXPECT_EQ(failure->error.code, ENOENT);
  EXPECT_EQ(store::RecordFailureMessage(*failure),
            "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT) +
                ". 1 line of the log (22 bytes) was not recorded");
  EXPECT_EQ(reports, 2);
}
