// TComm's transmit side: SendData/SendBytes order and wholeness, OnSendDataEmpty, ClosePort
// discarding the queue.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "channels/serial_comm.h"
#include "serial_test_support.h"

using channels::TComm;
using serial_test::FarEnd;
using serial_test::Pattern;
using serial_test::Recorder;
using serial_test::Spin;
using serial_test::WaitUntil;

namespace {

class SerialTransmit : public ::testing::Test {
 protected:
  void open() {
    comm.setCommName(far.path());
    comm.setReadIntervalTimeout(30);
    comm.OpenPort();
  }

  FarEnd far;
  TComm comm;
  Recorder rec{comm};
};

}  // namespace

TEST_F(SerialTransmit, SendDataWithACountOfZeroOrWhileClosedReturnsFalse) {
  EXPECT_FALSE(comm.SendData("abc", 3));
  EXPECT_FALSE(comm.SendBytes("abc"));
  open();
  EXPECT_FALSE(comm.SendData("abc", 0));
  EXPECT_FALSE(comm.SendBytes(QByteArrayView()));
  EXPECT_FALSE(comm.SendData(nullptr, 3));
  comm.ClosePort();
  EXPECT_FALSE(comm.SendData("abc", 3));
  EXPECT_EQ(far.read(1, 200), QByteArray());
}

TEST_F(SerialTransmit, BuffersGoOutInCallOrderEachWholeWithASlowReader) {
  open();
  // 24 buffers of 10000 bytes: far more than the pty holds, so the transmit thread meets full
  // buffers and partial writes while the far end reads slowly.
  QByteArray expected;
  for (int i = 0; i < 24; ++i) {
    const QByteArray buffer = Pattern(10000, i);
    expected += buffer;
    ASSERT_TRUE(comm.SendData(buffer.constData(), static_cast<quint16>(buffer.size())));
  }
  const QByteArray got = far.read(expected.size(), 30000, 1000, 1);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST_F(SerialTransmit, SendBytesSendsAMessageOf65536BytesOrMoreWholeAndInOrder) {
  open();
  const QByteArray before("<<", 2);
  const QByteArray big = Pattern(200000, 9);
  const QByteArray after(">>", 2);
  ASSERT_TRUE(comm.SendData(before.constData(), 2));
  ASSERT_TRUE(comm.SendBytes(big));
  ASSERT_TRUE(comm.SendBytes(after));
  const QByteArray expected = before + big + after;
  const QByteArray got = far.read(expected.size(), 30000);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST_F(SerialTransmit, SendDataCopiesTheBufferAtOnce) {
  open();
  char buffer[] = "first";
  ASSERT_TRUE(comm.SendData(buffer, 5));
  buffer[0] = 'X';  // the caller may reuse its buffer right away
  EXPECT_EQ(far.read(5), QByteArray("first"));
}

TEST_F(SerialTransmit, OnSendDataEmptyComesAfterTheStartAndEachTimeTheQueueRunsDry) {
  open();
  ASSERT_TRUE(WaitUntil([&] { return rec.sendEmpty == 1; }));
  ASSERT_TRUE(comm.SendData("abc", 3));
  EXPECT_EQ(far.read(3), QByteArray("abc"));
  ASSERT_TRUE(WaitUntil([&] { return rec.sendEmpty == 2; }));
  Spin(100);
  EXPECT_EQ(rec.sendEmpty, 2);  // never twice in a row
}

TEST_F(SerialTransmit, ClosePortDiscardsQueuedBuffersAndReturnsPromptly) {
  open();
  ASSERT_TRUE(WaitUntil([&] { return rec.sendEmpty == 1; }));
  // Nobody reads the far end: the pty fills and the rest stays queued.
  const QByteArray buffer = Pattern(60000, 2);
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(comm.SendData(buffer.constData(), static_cast<quint16>(buffer.size())));
  QTest::qSleep(100);
  QElapsedTimer clock;
  clock.start();
  comm.ClosePort();
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_FALSE(comm.IsOpen());
  // Less than all got out, and the discarded buffers raise no OnSendDataEmpty.
  const QByteArray got = far.read(50 * 60000, 500);
  EXPECT_LT(got.size(), 50 * 60000);
  Spin(100);
  EXPECT_EQ(rec.sendEmpty, 1);
}

// A sender that outpaces the line fills the queue to its bound and no further; what was taken
// still goes out whole and in order once the far end reads.
TEST_F(SerialTransmit, TheQueueRefusesBuffersPastItsBoundAndKeepsWhatItTook) {
  open();
  const QByteArray buffer = Pattern(60000, 5);
  int taken = 0;
  while (taken < 1000 && comm.SendData(buffer.constData(), static_cast<quint16>(buffer.size()))) {
    ++taken;
  }
  EXPECT_LT(taken, 1000);
  EXPECT_GE(taken, 16 * 1024 * 1024 / 60064);
  const QByteArray got = far.read(qsizetype{taken} * buffer.size(), 30000);
  ASSERT_EQ(got.size(), qsizetype{taken} * buffer.size());
  for (int i = 0; i < taken; ++i) {
    ASSERT_TRUE(got.mid(qsizetype{i} * buffer.size(), buffer.size()) == buffer) << i;
  }
  // Drained, the queue takes buffers again.
  EXPECT_TRUE(WaitUntil([&] { return comm.SendData("ok", 2); }));
  EXPECT_EQ(far.read(2, 2000), QByteArray("ok"));
}

// A message sent a byte per write goes into the queue whole or not at all; a long one (more
// one-byte buffers than the queue's bound would take) goes out whole and in order.
TEST_F(SerialTransmit, SendEachByteQueuesAllTheBytesOrNone) {
  open();
  EXPECT_TRUE(comm.SendEachByte("\x01\x02\x0a"));
  EXPECT_EQ(far.read(3, 2000), QByteArray("\x01\x02\x0a"));
  const QByteArray longMessage = Pattern(300000, 7);
  ASSERT_TRUE(comm.SendEachByte(longMessage));
  const QByteArray gotLong = far.read(longMessage.size(), 30000);
  EXPECT_EQ(gotLong.size(), longMessage.size());
  EXPECT_TRUE(gotLong == longMessage);
  const QByteArray buffer(60000, 'b');
  qsizetype queued = 0;
  while (comm.SendData(buffer.constData(), static_cast<quint16>(buffer.size()))) {
    queued += buffer.size();
  }
  EXPECT_FALSE(comm.SendEachByte(QByteArray(100000, 'x')));
  const QByteArray got = far.read(queued + 1, 4000);  // waits out the time: nothing more comes
  EXPECT_EQ(got.size(), queued);
  EXPECT_FALSE(got.contains('x'));
}

TEST_F(SerialTransmit, ATransmitAfterReopenStartsWithAnEmptyQueue) {
  open();
  const QByteArray buffer = Pattern(60000, 4);
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(comm.SendData(buffer.constData(), static_cast<quint16>(buffer.size())));
  comm.ClosePort();
  far.read(10 * 60000, 300);  // drain whatever got through before the close
  comm.OpenPort();
  ASSERT_TRUE(comm.SendData("new", 3));
  EXPECT_EQ(far.read(3, 2000), QByteArray("new"));
  EXPECT_EQ(far.read(1, 200), QByteArray());
}
