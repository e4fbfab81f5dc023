// SIGTERM and SIGINT reach the event loop as a call, once per burst, and do not end the process.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QTest>

#include "platform/termination_signals_posix.h"

namespace {

TEST(TerminationSignals, TermAndIntBecomeACallInTheEventLoopInsteadOfEndingTheProcess) {
  int calls = 0;
  const platform::TerminationSignals termination([&] { ++calls; });
  ::raise(SIGTERM);
  EXPECT_EQ(calls, 0) << "the handler itself only wakes the loop";
  EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 10000));
  ::raise(SIGINT);
  ::raise(SIGINT);  // both wait in the pipe: one call takes them together
  EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 10000));
  QTest::qWait(50);
  EXPECT_EQ(calls, 2);
}

}  // namespace
