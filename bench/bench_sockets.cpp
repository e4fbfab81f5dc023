// Socket layer benchmark, run by hand: (1) a server with 200 connected clients broadcasting a
// 1 KiB message, time until every client has it; (2) a client streaming into the server for
// 5 s, bytes per second seen by the server's read handler next to a plain blocking reader.
// Clients are plain blocking loopback sockets in a thread of the benchmark.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "../tests/support/loopback_peer.h"
#include "channels/socket_server.h"

namespace {

using channels::TCustomWinSocket;
using channels::TServerSocket;
using testing_support::LoopbackPeer;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 200;
constexpr int kRounds = 50;
constexpr qsizetype kMessageSize = 1024;
constexpr auto kStreamFor = std::chrono::seconds(5);

template <typename Condition>
void RunEventsUntil(Condition condition) {
  while (!condition()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BenchBroadcast() {
  TServerSocket server;
  server.setPort(0);
  server.setActive(true);
  std::vector<LoopbackPeer> peers;
  for (int i = 0; i < kClients; ++i) {
    peers.push_back(LoopbackPeer::Connect(server.Socket().LocalPort()));
    RunEventsUntil([&] { return server.Socket().ConnectionCount() == i + 1; });
  }

  std::atomic<int> roundsDone{0};
  std::atomic<int> roundsStarted{0};
  std::vector<Clock::time_point> arrived(kRounds);
  std::thread readers([&] {
    for (int round = 0; round < kRounds; ++round) {
      roundsStarted.wait(round);
      bool whole = true;
      for (const LoopbackPeer& peer : peers)
        whole &= peer.read(kMessageSize).size() == kMessageSize;
      arrived[round] = Clock::now();
      if (!whole) std::fprintf(stderr, "round %d: a client missed bytes\n", round);
      roundsDone.store(round + 1);
      roundsDone.notify_one();
    }
  });

  const QByteArray message(kMessageSize, 'b');
  std::vector<double> millis;
  std::vector<double> sendMillis;  // the broadcast loop alone, on the GUI thread
  for (int round = 0; round < kRounds; ++round) {
    const Clock::time_point start = Clock::now();
    roundsStarted.store(round + 1);
    roundsStarted.notify_one();
    for (int i = 0; i < server.Socket().ConnectionCount(); ++i)
      server.Socket().ConnectionAt(i)->SendBytes(message);
    sendMillis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    // 1 KiB per client fits the socket buffers, so nothing waits in a queue for the event loop:
    // the GUI thread can sleep and leave the processor to the readers.
    if (server.Socket().ConnectionAt(0)->QueuedLength() == 0)
      roundsDone.wait(round);
    else
      RunEventsUntil([&] { return roundsDone.load() > round; });
    millis.push_back(std::chrono::duration<double, std::milli>(arrived[round] - start).count());
  }
  readers.join();
  std::printf("%-44s %12.3f ms   (target < 10 ms; min %.3f, max %.3f)\n",
              "broadcast 1 KiB to 200 clients, median", Median(millis),
              *std::min_element(millis.begin(), millis.end()),
              *std::max_element(millis.begin(), millis.end()));
  std::printf("%-44s %12.3f ms\n", "  of which the SendBytes loop, median", Median(sendMillis));
}

// Writes 64 KiB chunks into `port` for kStreamFor, then closes.
std::thread StartWriter(int port) {
  return std::thread([port] {
    LoopbackPeer writer = LoopbackPeer::Connect(port);
    const QByteArray chunk(64 * 1024, 's');
    const Clock::time_point end = Clock::now() + kStreamFor;
    while (Clock::now() < end) writer.write(chunk);
  });
}

double StreamIntoServer() {
  TServerSocket server;
  qint64 received = 0;
  bool ended = false;
  QByteArray buffer;
  // Reads the way the main window's read handler does: everything pending, in one buffer.
  server.OnClientRead = [&](QObject*, TCustomWinSocket& socket) {
    const int pending = socket.PendingLength();
    if (pending == 0) return;
    buffer.resize(pending);
    received += std::max(socket.ReceiveBytes(buffer.data(), pending), 0);
  };
  server.OnClientDisconnect = [&](QObject*, TCustomWinSocket&) { ended = true; };
  server.setPort(0);
  server.setActive(true);
  QElapsedTimer clock;
  clock.start();
  std::thread writer = StartWriter(server.Socket().LocalPort());
  RunEventsUntil([&] { return ended; });
  const double seconds = clock.nsecsElapsed() / 1e9;
  writer.join();
  return received / seconds;
}

double StreamIntoPlainReader() {
  const int port = testing_support::FreeLoopbackPort();
  testing_support::LoopbackListener listener(port);
  QElapsedTimer clock;
  clock.start();
  std::thread writer = StartWriter(port);
  LoopbackPeer reader = listener.accept();
  qint64 received = 0;
  for (;;) {
    const QByteArray bytes = reader.read(1024 * 1024, std::chrono::seconds(2));
    if (bytes.isEmpty()) break;
    received += bytes.size();
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  writer.join();
  return received / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::printf("socket layer benchmark (loopback)\n");
  BenchBroadcast();
  const double layer = StreamIntoServer();
  const double plain = StreamIntoPlainReader();
  std::printf("%-44s %12.1f MB/s\n", "stream 5 s into OnClientRead", layer / 1e6);
  std::printf("%-44s %12.1f MB/s\n", "stream 5 s into a plain blocking reader", plain / 1e6);
  std::printf("%-44s %12.2f\n", "ratio socket layer / plain", layer / plain);
  return 0;
}
