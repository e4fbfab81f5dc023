// TComm's receive side: chunking by gap and size, delivery on the owning thread, hang-up.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

#include "channels/serial_comm.h"
#include "serial_test_support.h"

using channels::TComm;
using serial_test::FarEnd;
using serial_test::Pattern;
using serial_test::Recorder;
using serial_test::Spin;
using serial_test::WaitUntil;

namespace {

class SerialReceive : public ::testing::Test {
 protected:
  void open(quint32 gap) {
    comm.setCommName(far.path());
    comm.setReadIntervalTimeout(gap);
    comm.OpenPort();
  }

  FarEnd far;
  TComm comm;
  Recorder rec{comm};
};

}  // namespace

TEST_F(SerialReceive, ABurstOf5000BytesArrivesAs2048_2048_904) {
  open(30);
  const QByteArray burst = Pattern(5000, 1);
  ASSERT_TRUE(far.write(burst));
  ASSERT_TRUE(WaitUntil([&] { return rec.received() == 5000; }));
  Spin(100);  // nothing more may come
  ASSERT_EQ(rec.chunks.size(), 3u);
  EXPECT_EQ(rec.chunks[0].size(), 2048);
  EXPECT_EQ(rec.chunks[1].size(), 2048);
  EXPECT_EQ(rec.chunks[2].size(), 904);
  EXPECT_EQ(rec.all(), burst);
  EXPECT_EQ(rec.unterminatedChunks, 0);
}

TEST_F(SerialReceive, BurstsSeparatedByMoreThanTheGapArriveAsTwoChunks) {
  open(30);
  ASSERT_TRUE(far.write("first"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 1; }));
  QTest::qSleep(150);
  ASSERT_TRUE(far.write("second"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 2; }));
  Spin(100);
  ASSERT_EQ(rec.chunks.size(), 2u);
  EXPECT_EQ(rec.chunks[0], QByteArray("first"));
  EXPECT_EQ(rec.chunks[1], QByteArray("second"));
}

TEST_F(SerialReceive, BytesCloserThanTheGapArriveInOneChunk) {
  open(300);
  const QByteArray text("0123456789");
  for (char c : text) {
    ASSERT_TRUE(far.write(QByteArrayView(&c, 1)));
    QTest::qSleep(10);  // well inside the 300 ms gap, even on a loaded machine
  }
  ASSERT_TRUE(WaitUntil([&] { return rec.received() == text.size(); }));
  Spin(50);
  ASSERT_EQ(rec.chunks.size(), 1u);
  EXPECT_EQ(rec.chunks[0], text);
}

TEST_F(SerialReceive, ZeroBytesAreDeliveredWithTheFullLengthAndATerminatingZero) {
  open(30);
  QByteArray seen;
  char after = 'x';
  comm.OnReceiveData = [&](TComm&, const char* buffer, quint16 length) {
    seen = QByteArray(buffer, length);
    after = buffer[length];
  };
  const QByteArray data("\0\0A\0B\0", 6);
  ASSERT_TRUE(far.write(data));
  ASSERT_TRUE(WaitUntil([&] { return !seen.isEmpty(); }));
  EXPECT_EQ(seen.size(), 6);
  EXPECT_EQ(seen, data);
  EXPECT_EQ(after, '\0');
}

TEST_F(SerialReceive, EventsRunOnTheOwningThread) {
  open(20);
  QThread* thread = nullptr;
  comm.OnReceiveData = [&](TComm&, const char*, quint16) { thread = QThread::currentThread(); };
  ASSERT_TRUE(far.write("x"));
  ASSERT_TRUE(WaitUntil([&] { return thread != nullptr; }));
  EXPECT_EQ(thread, comm.thread());
}

TEST_F(SerialReceive, ALongStreamArrivesWholeInOrderInChunksOfAtMost2048) {
  open(30);
  const QByteArray stream = Pattern(1 << 20, 7);
  for (qsizetype at = 0; at < stream.size(); at += 4096)
    ASSERT_TRUE(far.write(
        QByteArrayView(stream).sliced(at, std::min<qsizetype>(4096, stream.size() - at))));
  ASSERT_TRUE(WaitUntil([&] { return rec.received() >= stream.size(); }, 20000));
  EXPECT_EQ(rec.all(), stream);
  for (const QByteArray& chunk : rec.chunks) EXPECT_LE(chunk.size(), 2048);
  EXPECT_EQ(rec.unterminatedChunks, 0);
}

TEST_F(SerialReceive, AStreamOfSmallWritesIsCutAt2048BytesAndAtAGapAsBytesReadOneByOneWouldBe) {
  // Writes a millisecond apart make the thread read in batches; the chunks must not show it.
  open(300);
  const QByteArray stream = Pattern(5300, 4);
  const auto writeSlowly = [&](qsizetype from, qsizetype to) {
    for (qsizetype at = from; at < to; at += 10) {
      ASSERT_TRUE(far.write(QByteArrayView(stream).sliced(at, std::min<qsizetype>(10, to - at))));
      QTest::qSleep(1);
    }
  };
  writeSlowly(0, 5000);
  QTest::qSleep(900);  // three gaps of silence
  writeSlowly(5000, 5300);
  ASSERT_TRUE(WaitUntil([&] { return rec.received() == stream.size(); }, 5000));
  Spin(400);
  ASSERT_EQ(rec.chunks.size(), 4u);
  EXPECT_EQ(rec.chunks[0].size(), 2048);
  EXPECT_EQ(rec.chunks[1].size(), 2048);
  EXPECT_EQ(rec.chunks[2].size(), 904);
  EXPECT_EQ(rec.chunks[3].size(), 300);
  EXPECT_EQ(rec.all(), stream);
}

TEST_F(SerialReceive, AnOwnerThatFallsBehindHoldsTheReaderBackAndLosesNothing) {
  open(30);
  const qsizetype backlog = qsizetype(channels::kMaxChunksAwaitingDelivery) * channels::kChunkLimit;
  const QByteArray stream = Pattern(backlog + (4 << 20), 9);
  std::atomic<qsizetype> written{0};
  std::thread writer([&] {
    for (qsizetype at = 0; at < stream.size(); at += 65536) {
      const qsizetype n = std::min<qsizetype>(65536, stream.size() - at);
      if (!far.write(QByteArrayView(stream).sliced(at, n), 30000)) return;
      written += n;
    }
  });
  // The owning thread runs no event loop for a while: the reader stops at the backlog's bound
  // and the far end cannot write the rest.
  QTest::qSleep(1500);
  EXPECT_GE(written.load(), backlog / 2);
  EXPECT_LT(written.load(), stream.size());
  const bool allArrived = WaitUntil([&] { return rec.received() >= stream.size(); }, 30000);
  writer.join();  // before any assertion can leave the test with the thread still running
  ASSERT_TRUE(allArrived);
  EXPECT_EQ(rec.all(), stream);
  for (const QByteArray& chunk : rec.chunks) EXPECT_LE(chunk.size(), 2048);
}

TEST_F(SerialReceive, WithAGapOfZeroAChunkEndsOnlyAt2048Bytes) {
  open(0);
  const QByteArray data = Pattern(2048, 3);
  ASSERT_TRUE(far.write(QByteArrayView(data).first(100)));
  Spin(300);
  EXPECT_TRUE(rec.chunks.empty());
  ASSERT_TRUE(far.write(QByteArrayView(data).sliced(100)));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 1; }));
  EXPECT_EQ(rec.chunks[0], data);
}

TEST_F(SerialReceive, WithTheLargestGapEachReadIsDeliveredAtOnce) {
  open(4294967295u);  // Win32 MAXDWORD: return at once with whatever has arrived
  ASSERT_TRUE(far.write("now"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 1; }, 2000));
  EXPECT_EQ(rec.chunks[0], QByteArray("now"));
  // The receive thread goes on: an idle line does not end it here.
  Spin(100);
  ASSERT_TRUE(far.write("again"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 2; }, 2000));
  EXPECT_EQ(rec.chunks[1], QByteArray("again"));
  EXPECT_EQ(rec.hangups, 0);
}

TEST_F(SerialReceive, WritingReadIntervalTimeoutWhileOpenChangesChunkingFromTheNextReadOn) {
  open(2000);
  comm.setReadIntervalTimeout(20);
  ASSERT_TRUE(far.write("a"));
  QTest::qSleep(150);
  ASSERT_TRUE(far.write("b"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 2; }, 1500));
  EXPECT_EQ(rec.chunks[0], QByteArray("a"));
  EXPECT_EQ(rec.chunks[1], QByteArray("b"));
}

TEST_F(SerialReceive, AReadTotalTimeoutEndsAChunkThatNeverFallsSilent) {
  open(500);
  comm.setReadTotalTimeoutConstant(100);
  // A byte every 20 ms never leaves a 500 ms gap; the 100 ms total cuts the chunk.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 600) {
    ASSERT_TRUE(far.write("z"));
    QTest::qSleep(20);
  }
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() >= 3; }, 3000));
  for (const QByteArray& chunk : rec.chunks) EXPECT_LT(chunk.size(), 20);
}

TEST_F(SerialReceive, BytesReceivedJustBeforeClosePortStillReachOnReceiveData) {
  open(5000);  // the chunk would wait five seconds for its gap
  ASSERT_TRUE(far.write("late"));
  QTest::qSleep(100);  // the receive thread has read them by now
  comm.ClosePort();
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 1; }));
  EXPECT_EQ(rec.chunks[0], QByteArray("late"));
}

TEST_F(SerialReceive, ChunksStillQueuedWhenTheEngineIsDestroyedAreDroppedSafely) {
  FarEnd other;
  auto engine = std::make_unique<TComm>();
  int calls = 0;
  engine->OnReceiveData = [&](TComm&, const char*, quint16) { ++calls; };
  engine->setCommName(other.path());
  engine->setReadIntervalTimeout(5);
  engine->OpenPort();
  ASSERT_TRUE(other.write("queued"));
  QTest::qSleep(200);  // the chunk is posted, but the event loop has not run
  engine.reset();
  Spin(100);
  EXPECT_EQ(calls, 0);
}

TEST_F(SerialReceive, TheFarEndVanishingEndsTheReceiveThreadWithOneHangup) {
  open(30);
  bool closedInHandler = false;
  comm.OnRequestHangup = [&](TComm& sender) {
    ++rec.hangups;
    closedInHandler = true;
    sender.ClosePort();  // what a program does on a pulled adapter
  };
  // Mid-stream: the far end pours data in and goes once the first chunks have come.
  const QByteArray stream = Pattern(20000, 5);
  ASSERT_TRUE(far.write(stream));
  ASSERT_TRUE(WaitUntil([&] { return rec.received() >= 2048; }));
  const QByteArray beforeClose = rec.all();
  far.close();
  ASSERT_TRUE(WaitUntil([&] { return rec.hangups > 0; }));
  Spin(200);
  EXPECT_EQ(rec.hangups, 1);
  EXPECT_TRUE(closedInHandler);
  EXPECT_FALSE(comm.IsOpen());
  // What was delivered before the close is the stream's start, whole and in order. The kernel
  // discards what its terminal buffers still hold at a hang-up (a read already under way may
  // then pick up later bytes), so after the close only "never more than was sent" holds.
  EXPECT_TRUE(stream.startsWith(beforeClose));
  EXPECT_TRUE(rec.all().startsWith(beforeClose));
  EXPECT_LE(rec.received(), stream.size());
}

TEST_F(SerialReceive, AHangupStillQueuedWhenThePortClosesIsNotDeliveredToTheNextOpen) {
  open(30);
  far.close();
  QTest::qSleep(200);  // the hang-up is posted, but the event loop has not run
  comm.ClosePort();
  FarEnd next;
  comm.setCommName(next.path());
  comm.OpenPort();
  Spin(100);
  EXPECT_EQ(rec.hangups, 0);
  ASSERT_TRUE(next.write("on"));
  ASSERT_TRUE(WaitUntil([&] { return rec.received() == 2; }));
  next.close();
  ASSERT_TRUE(WaitUntil([&] { return rec.hangups == 1; })) << "the open port's own hang-up comes";
}

TEST_F(SerialReceive, AfterAHangupThePortStaysOpenAndClosePortIsQuick) {
  open(30);
  ASSERT_TRUE(far.write("before"));
  ASSERT_TRUE(WaitUntil([&] { return rec.chunks.size() == 1; }));
  far.close();
  ASSERT_TRUE(WaitUntil([&] { return rec.hangups == 1; }));
  EXPECT_TRUE(comm.IsOpen());
  // Sending into the vanished line fails in the transmit thread without a second hang-up.
  comm.SendData("x", 1);
  ASSERT_TRUE(WaitUntil([&] { return !comm.SendData("y", 1); }));
  Spin(100);
  EXPECT_EQ(rec.hangups, 1);
  QElapsedTimer clock;
  clock.start();
  comm.ClosePort();
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_FALSE(comm.IsOpen());
}
