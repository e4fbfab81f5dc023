// Message-list files that no save ever wrote: binary garbage, very long lines, a count line of
// 2147483647. Each load runs in a child process, so a crash, a runaway allocation or a hang
// (ended by the child's time limit) fails the test instead of the test program, and the
// child's peak memory can be compared with that of a child loading a small file.
#include <gtest/gtest.h>

#include <QByteArray>
#include <random>

#include "store/message_list_file.h"
#include "support/child_process.h"
#include "support/memory_grid.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ChildOutcome;
using testing_support::MemoryGrid;
using testing_support::Report;
using testing_support::RunInChild;
using testing_support::TempDir;
using testing_support::WriteAll;

// What a load may add to the peak memory of the child over loading a small file. The largest
// files here are 16 MiB, read whole and held once as cells; an unbounded count would need
// gigabytes.
constexpr long kMemoryAllowanceKiB = 384 * 1024;

// Loads `content` into one 3-column grid in a child. The child reports the RowCount and then
// the length of every cell of rows 1 and 2, separated by blanks.
ChildOutcome loadInChild(const TempDir& dir, const QByteArray& content) {
  const QString name = dir.file("list.sen");
  WriteAll(name, content);
  return RunInChild([&](int reportFd) {
    MemoryGrid grid;
    store::LoadGridsFromFile({&grid}, name, "default.sen", store::AppFiles{dir.path()});
    QByteArray report = QByteArray::number(grid.RowCount());
    for (int r = 1; r < std::min(grid.RowCount(), 3); ++r) {
      for (const QString& cell : grid.row(r)) report += ' ' + QByteArray::number(cell.size());
    }
    Report(reportFd, report);
    return 0;
  });
}

long baselineRssKiB(const TempDir& dir) { return loadInChild(dir, "2\r\n1,A,7F\r\n").maxRssKiB; }

QList<QByteArray> reportedNumbers(const ChildOutcome& outcome) {
  return outcome.reported.split(' ');
}

TEST(MessageListFault, BinaryGarbageLoadsWithoutCrashWithinBoundedRowsAndMemory) {
  TempDir dir;
  const long baseline = baselineRssKiB(dir);
  std::mt19937 random(20240611);
  for (int round = 0; round < 3; ++round) {
    QByteArray garbage(4 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const qsizetype lines = garbage.count('\n') + 1;

    const ChildOutcome outcome = loadInChild(dir, garbage);

    ASSERT_TRUE(outcome.exitedWith(0)) << "round " << round << ", child status " << outcome.status;
    const int rows = reportedNumbers(outcome).front().toInt();
    EXPECT_GE(rows, 1);
    EXPECT_LE(rows, lines + 1 + store::kMaxRowsBeyondFile);
    EXPECT_LT(outcome.maxRssKiB - baseline, kMemoryAllowanceKiB);
  }
}

TEST(MessageListFault, VeryLongLinesLoadWholeIntoTheirCells) {
  TempDir dir;
  const long baseline = baselineRssKiB(dir);
  const QByteArray quoted(16 << 20, ' ');  // one cell of blanks, so written quoted
  const QByteArray unquoted(8 << 20, 'x');
  const QByteArray content = "3\r\n1,name,\"" + quoted + "\"\r\n2," + unquoted + ",7F\n";

  const ChildOutcome outcome = loadInChild(dir, content);

  ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
  const QList<QByteArray> expected = {
      "3", "1", "4", QByteArray::number(quoted.size()), "1", QByteArray::number(unquoted.size()),
      "2"};
  EXPECT_EQ(reportedNumbers(outcome), expected);
  EXPECT_LT(outcome.maxRssKiB - baseline, kMemoryAllowanceKiB);
}

TEST(MessageListFault, HugeCountLineLoadsTheRowsPresentWithBoundedMemory) {
  TempDir dir;
  const long baseline = baselineRssKiB(dir);
  for (const QByteArray count : {"2147483647", "$7FFFFFFF", "0x7fffffff"}) {
    SCOPED_TRACE(count.constData());
    const ChildOutcome outcome = loadInChild(dir, count + "\r\n1,first,01\r\n2,second,\r\n");

    ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
    const QList<QByteArray> numbers = reportedNumbers(outcome);
    ASSERT_EQ(numbers.size(), 7);
    const int rows = numbers.front().toInt();
    EXPECT_GT(rows, 3) << "a large count is honoured beyond the rows present";
    EXPECT_LE(rows, 3 + store::kMaxRowsBeyondFile);
    EXPECT_EQ(numbers.mid(1), (QList<QByteArray>{"1", "5", "2", "1", "6", "0"}));
    EXPECT_LT(outcome.maxRssKiB - baseline, kMemoryAllowanceKiB);
  }
}

TEST(MessageListFault, MostNegativeCountLeavesOnlyTheTitleRow) {
  TempDir dir;
  const ChildOutcome outcome = loadInChild(dir, "-2147483648\r\n1,A,7F\r\n");
  ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
  EXPECT_EQ(outcome.reported, "1");
}

}  // namespace
