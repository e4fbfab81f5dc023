// Benchmarks the program a user runs: the real main window (offscreen, its files in a temporary
// directory, the channel opened at start-up) fed through a pty peer or loopback peers from child
// processes, each figure printed next to the physical limit measured in the same run.
//   bench_program [log|serial|record|tcp|latency|idle|startup|sendbox]
//                                                            all groups, or the one named
//   bench_program small                                      the small-line serial case, in the
//                                                            usual and in a maximised window
//   bench_program unpaced                                    the unpaced serial cases alone
//                                                            (each in a process of its own)
//   bench_program paced HEX|ASCII rate [seconds]             one paced serial case alone
//   bench_program soak [minutes]                             the soak, 30 minutes a channel
// Figures: bytes shown in the log against bytes sent, MB/s, CPU seconds per MB (this process:
// GUI and engine threads; the feeders run in children), the longest event-loop stall, resident
// memory; latency of a burst's last byte to its RX line; idle wake-ups; start-up time; the CPU
// a huge message in the send box costs at start-up and per key typed.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "app/status_panels.h"
#include "app/tcp_server_channel_port.h"
#include "app/traffic_log.h"
#include "bench/support/feeders.h"
#include "bench/support/meters.h"
#include "channels/socket_server.h"
#include "codec/hex_text.h"
#include "codec/text_codec.h"
#include "store/ini_file.h"
#include "store/record_settings.h"
#include "support/fake_prompts.h"
#include "support/loopback_peer.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "textview/text_view.h"

namespace {

using namespace bench_support;

constexpr double kMB = 1e6;

struct Window {
  testing_support::TempDir dir;
  testing_support::FakePrompts prompts;
  testing_support::FakeShell shell;
  store::AppFiles files{dir.path()};
  std::unique_ptr<app::TfrmZh> window;
  QSize size;          // the window's, when not the one it opens with
  QString recordInto;  // a file the log is recorded into from the start, when not empty
  bool autoOpen = true;
  qint64 logged = 0;

  store::IniFile ini() const { return store::IniFile(files.comsetIni()); }
  void useSerial(const testing_support::PtyPair& pty) const {
    ini().writeString("ComSet", "port", pty.slavePath());
  }
  // Style 1 is the TCP server on `port`, style 2 the TCP client of 127.0.0.1:`port`.
  void useTcp(int style, int port) const {
    ini().writeInteger("ComSet", "Style", style);
    ini().writeInteger("ComSet", style == 1 ? "SPort" : "CPort", port);
  }
  void start() {
    ini().writeBool("ComSet", "AutoOpen", autoOpen);
    if (!recordInto.isEmpty()) store::RecordSettings{true, recordInto}.save(files);
    window = std::make_unique<app::TfrmZh>(app::AppContext{files, prompts, shell});
    QObject::connect(&window->Log(), &app::TrafficLog::chunkLogged,
                     [this](qsizetype n) { logged += n; });
    if (size.isValid()) window->resize(size);
    window->show();
  }
  bool waitFor(const std::function<bool()>& done, double seconds) const {
    const double end = monotonicSeconds() + seconds;
    // Wakes the wait once, at the deadline: a periodic wake-up would add its own CPU to the
    // program's figures.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(seconds * 1000) + 1);
    while (!done() && monotonicSeconds() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
  }
};

void printStream(const char* name, const StreamFigures& f, double limitMBs) {
  const double mbs = f.logged / kMB / f.seconds;
  std::printf(
      "%-34s %s %9.2f MB/s  limit %8.2f  ratio %5.2f  %6.3f CPU s/MB (GUI thread %5.3f)  stall "
      "%6.1f ms  RSS %5.1f MB\n",
      name, f.logged == f.sent ? "all bytes" : "BYTES LOST", mbs, limitMBs,
      limitMBs > 0 ? mbs / limitMBs : 0.0, f.cpu / (f.logged / kMB), f.guiCpu / (f.logged / kMB),
      f.stallMs, f.rssKb / 1024.0);
  std::fflush(stdout);
}

// The far end of a pty in raw mode, as a plain reader would use it.
int openRawSlave(const testing_support::PtyPair& pty) {
  const int slave = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  termios tio{};
  tcgetattr(slave, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave, TCSANOW, &tio);
  return slave;
}

// Reads until `total` bytes have come or the stream ends; the bytes read.
qint64 readUpTo(int fd, qint64 total) {
  qint64 got = 0;
  char buffer[65536];
  while (got < total) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

double plainPtyReadMBs(qint64 total) {
  testing_support::PtyPair pty;
  const int slave = openRawSlave(pty);
  const double start = monotonicSeconds();
  const pid_t child = spawn([&] { feed(pty.master(), total, 0); });
  const qint64 got = readUpTo(slave, total);
  const double seconds = monotonicSeconds() - start;
  waitpid(child, nullptr, 0);
  ::close(slave);
  return got / kMB / seconds;
}

// The CPU a plain read loop spends per MB of the same paced stream: what reading alone costs.
double plainPtyReadCpuPerMB(double rate, qint64 total) {
  testing_support::PtyPair pty;
  const int slave = openRawSlave(pty);
  const double cpu0 = cpuSeconds();
  const pid_t child = spawn([&] { feed(pty.master(), total, rate); });
  const qint64 got = readUpTo(slave, total);
  const double cpu = cpuSeconds() - cpu0;
  waitpid(child, nullptr, 0);
  ::close(slave);
  return cpu / (got / kMB);
}

// The received bytes a recording of HEX lines holds: the byte pairs of its RX lines.
qint64 recordedHexBytes(const QString& path) {
  qint64 bytes = 0;
  for (const QByteArray& line : testing_support::ReadAll(path).split('\n')) {
    if (line.startsWith("RX:")) bytes += (line.lastIndexOf(" (") - 3 + 1) / 3;
  }
  return bytes;
}

// With `recorded`, the log is recorded into a file, and `recorded` says how many of the bytes
// the file holds (HEX).
StreamFigures serialStream(int receiveStyle, double rate, qint64 total,
                           qint64* recorded = nullptr) {
  testing_support::PtyPair pty;
  Window w;
  if (recorded) w.recordInto = w.dir.file("record.txt");
  w.useSerial(pty);
  w.ini().writeInteger("ComSet", "ReceiveStyle", receiveStyle);
  w.start();
  w.waitFor([] { return false; }, 0.2);  // the window shown and painted: start-up is no part
  StreamMeasure measure;
  const pid_t child = spawn([&] { feed(pty.master(), total, rate); });
  w.waitFor([&] { return w.logged >= total; }, rate > 0 ? total / rate * 2 + 10 : 120);
  const StreamFigures f = measure.finish(total, w.logged);
  waitpid(child, nullptr, 0);
  if (recorded) {
    w.window.reset();  // the recording ends: every line is in the file
    *recorded = recordedHexBytes(w.recordInto);
  }
  return f;
}

// A serial HEX stream with the log recorded into a file and without, alternated in one run: paced
// at 100 kB/s for the CPU per MB, unpaced for the rate and whether every byte is recorded. The
// machine is shared and noisy: the medians of four runs each are compared.
void recordingCost(qint64 unpacedTotal, double ptyLimit) {
  constexpr double kRate = 100000;
  constexpr int kRounds = 4;
  for (const double rate : {kRate, 0.0}) {
    const qint64 total = rate > 0 ? static_cast<qint64>(kRate * 8) : unpacedTotal;
    std::vector<double> cpu[2], mbs[2];
    for (int round = 0; round < kRounds; ++round) {
      for (const bool record : {false, true}) {
        qint64 recorded = 0;
        const StreamFigures f = serialStream(0, rate, total, record ? &recorded : nullptr);
        const QByteArray name = QByteArray("serial HEX ") +
                                (rate > 0 ? "paced 100 kB/s" : "unpaced") +
                                (record ? ", recorded" : "");
        printStream(name.constData(), f, rate > 0 ? rate / kMB : ptyLimit);
        cpu[record].push_back(f.cpu / (f.logged / kMB));
        mbs[record].push_back(f.logged / kMB / f.seconds);
        if (record) {
          std::printf("%-34s %s: %lld of %lld bytes in the file\n", "",
                      recorded == total ? "all recorded" : "BYTES NOT RECORDED",
                      static_cast<long long>(recorded), static_cast<long long>(total));
        }
      }
    }
    const auto median = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    std::printf(
        "serial HEX %s, medians: %.3f CPU s/MB not recorded, %.3f recorded (%+.0f %%); %.2f and "
        "%.2f MB/s\n",
        rate > 0 ? "paced 100 kB/s" : "unpaced", median(cpu[0]), median(cpu[1]),
        (median(cpu[1]) / median(cpu[0]) - 1) * 100, median(mbs[0]), median(mbs[1]));
    std::fflush(stdout);
  }
}

// A serial stream at `rate` bytes a second for `seconds`, beside a plain read loop of the same.
void serialPaced(int style, double rate, double seconds) {
  const qint64 total = static_cast<qint64>(rate * seconds);
  const QByteArray name = QByteArray("serial ") + (style == 0 ? "HEX" : "ASCII") + " paced " +
                          QByteArray::number(rate / 1000, 'f', 2) + " kB/s";
  const StreamFigures f = serialStream(style, rate, total);
  printStream(name.constData(), f, rate / kMB);
  const double plain = plainPtyReadCpuPerMB(rate, total);
  std::printf("%-34s plain read loop %.3f CPU s/MB; the program %.1f times that\n", "", plain,
              f.cpu / (f.logged / kMB) / plain);
}

double plainSocketReadMBs(qint64 total) {
  const int port = testing_support::FreeLoopbackPort();
  testing_support::LoopbackListener listener(port);
  const double start = monotonicSeconds();
  const pid_t child = spawn([&] {
    testing_support::LoopbackPeer peer = testing_support::LoopbackPeer::Connect(port);
    feed(peer.fd(), total, 0);
  });
  testing_support::LoopbackPeer server = listener.accept();
  qint64 got = 0;
  char buffer[65536];
  while (got < total) {
    const ssize_t n = ::recv(server.fd(), buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got += n;
  }
  const double seconds = monotonicSeconds() - start;
  waitpid(child, nullptr, 0);
  return got / kMB / seconds;
}

StreamFigures serverStream(int clients, qint64 total) {
  Window w;
  const int port = testing_support::FreeLoopbackPort();
  w.useTcp(1, port);
  w.start();
  // The clients connect first and stream together on a signal: with the listen backlog of 5,
  // ten connections at once leave some to the kernel's one-second connect retry, which is no
  // part of how fast the window logs.
  int go[2];
  if (pipe(go) != 0) return {};
  std::vector<pid_t> children;
  for (int i = 0; i < clients; ++i) {
    children.push_back(spawn([&] {
      testing_support::LoopbackPeer peer = testing_support::LoopbackPeer::Connect(port);
      char c;
      if (::read(go[0], &c, 1) != 1) return;
      feed(peer.fd(), total / clients, 0);
      shutdown(peer.fd(), SHUT_WR);
      while (::recv(peer.fd(), &c, 1, 0) > 0) {
      }
    }));
  }
  w.waitFor([&] { return w.window->ServerPort().ConnectionCount() == clients; }, 10);
  StreamMeasure measure;
  writeAll(go[1], QByteArray(clients, 'g').constData(), static_cast<size_t>(clients));
  ::close(go[0]);
  ::close(go[1]);
  const qint64 expected = total / clients * clients;
  w.waitFor([&] { return w.logged >= expected; }, 120);
  const StreamFigures f = measure.finish(expected, w.logged);
  w.window->close();
  w.window.reset();
  for (pid_t c : children) waitpid(c, nullptr, 0);
  return f;
}

// 2048 printable bytes, the same line in HEX and in ASCII.
QByteArray letterChunk() {
  QByteArray chunk(2048, '\0');
  for (int i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('A' + i % 26);
  return chunk;
}

// Small chunks as a device sends them, `size` bytes every `intervalMs`, each one RX line: the
// CPU the whole process spends per line, painting included, beside a plain read loop's per read.
void serialSmallChunks(int size, int intervalMs, int count, QSize windowSize = {}) {
  const auto feedChunks = [&](int fd) {
    const QByteArray chunk = streamBytes(size);
    for (int i = 0; i < count; ++i) {
      writeAll(fd, chunk.constData(), static_cast<size_t>(chunk.size()));
      usleep(static_cast<useconds_t>(intervalMs * 1000));
    }
  };
  double plainCpu = 0;
  {
    testing_support::PtyPair pty;
    const int slave = openRawSlave(pty);
    const double cpu0 = cpuSeconds();
    const pid_t child = spawn([&] { feedChunks(pty.master()); });
    readUpTo(slave, qint64{size} * count);
    plainCpu = cpuSeconds() - cpu0;
    waitpid(child, nullptr, 0);
    ::close(slave);
  }
  testing_support::PtyPair pty;
  Window w;
  w.size = windowSize;
  w.useSerial(pty);
  w.start();
  w.waitFor([] { return false; }, 0.2);
  int lines = 0;
  QObject::connect(&w.window->Log(), &app::TrafficLog::chunkLogged, [&](qsizetype) { ++lines; });
  const double cpu0 = cpuSeconds();
  const pid_t child = spawn([&] { feedChunks(pty.master()); });
  w.waitFor([&] { return w.logged >= qint64{size} * count; }, count * intervalMs / 1000.0 + 10);
  w.waitFor([] { return false; }, 0.1);  // the last line painted
  const double cpu = cpuSeconds() - cpu0;
  waitpid(child, nullptr, 0);
  const QSize shown = w.window->size();
  std::printf(
      "serial HEX, %d bytes every %d ms, window %dx%d: %d lines, %.3f ms CPU per line; plain read "
      "loop %.3f ms per chunk; ratio %.1f\n",
      size, intervalMs, shown.width(), shown.height(), lines, cpu / std::max(lines, 1) * 1000,
      plainCpu / count * 1000, plainCpu > 0 ? cpu / std::max(lines, 1) / (plainCpu / count) : 0.0);
}

// A full log (just under the size rule: received 2048-byte lines in HEX) scrolled from its top
// to its end one step at a time, and back by pages, each step painted: the time a step takes.
void logScroll() {
  Window w;
  w.start();
  codec::TextDecoder decoder;
  QAbstractScrollArea& view = *w.window->Controls().Memo1;
  const QByteArray chunk = letterChunk();
  while (w.window->Log().TextLength() + 6200 < app::kLogSizeLimit) {
    w.window->Log().ReceiveChunk(chunk, store::Representation::Hex, decoder);
  }
  w.window->Log().flush();
  QCoreApplication::processEvents();
  QScrollBar& bar = *view.verticalScrollBar();
  const auto steps = [&](QAbstractSlider::SliderAction action, const char* name) {
    std::vector<double> times;
    for (int guard = 0; guard < 100000; ++guard) {
      const int before = bar.value();
      const double t0 = monotonicSeconds();
      bar.triggerAction(action);
      view.viewport()->repaint();
      times.push_back((monotonicSeconds() - t0) * 1000);
      if (bar.value() == before) break;
    }
    std::sort(times.begin(), times.end());
    std::printf("log scroll, full log, %s: %zu steps, median %.2f ms, worst %.2f ms a step\n", name,
                times.size(), times[times.size() / 2], times.back());
  };
  bar.setValue(bar.minimum());
  view.viewport()->repaint();
  steps(QAbstractSlider::SliderSingleStepAdd, "line by line down");
  steps(QAbstractSlider::SliderPageStepSub, "page by page up");
}

// The cost of the log alone: chunks of 2048 bytes handed to the receive handling directly.
void logOnly(store::Representation receiveStyle) {
  Window w;
  w.start();
  codec::TextDecoder decoder;
  const QByteArray chunk = letterChunk();
  constexpr int kChunks = 2000;
  const double cpu0 = cpuSeconds();
  const double t0 = monotonicSeconds();
  for (int i = 0; i < kChunks; ++i) w.window->Log().ReceiveChunk(chunk, receiveStyle, decoder);
  QCoreApplication::processEvents();
  const double seconds = monotonicSeconds() - t0;
  std::printf("log alone, %s, %d chunks of 2048: %.1f us per chunk, %.2f MB/s, %.3f CPU s/MB\n",
              receiveStyle == store::Representation::Hex ? "HEX" : "ASCII", kChunks,
              seconds / kChunks * 1e6, kChunks * 2048 / kMB / seconds,
              (cpuSeconds() - cpu0) / (kChunks * 2048 / kMB));
}

// About 2 KB of Chinese text in UTF-8, as a device reporting in Chinese sends it: two cells a
// character, rows broken between characters.
QByteArray chineseChunk() {
  const QByteArray sentence = QStringLiteral("设备状态正常，温度二十五度，电压十二伏。").toUtf8();
  QByteArray chunk;
  while (chunk.size() + sentence.size() <= 2048) chunk += sentence;
  return chunk;
}

// The cost a paced stream pays: one chunk of about 2 KB every 20 ms (about 100 kB/s), each one
// laid out and painted before the next comes.
void logPaced(store::Representation receiveStyle, const QByteArray& chunk, const char* what) {
  Window w;
  w.start();
  codec::TextDecoder decoder;
  constexpr int kChunks = 200;
  const auto runFor = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
  runFor(50);
  const double cpu0 = cpuSeconds();
  for (int i = 0; i < kChunks; ++i) {
    w.window->Log().ReceiveChunk(chunk, receiveStyle, decoder);
    runFor(20);
  }
  const double cpu = cpuSeconds() - cpu0;
  std::printf("log paced, a chunk every 20 ms, %s: %.0f us CPU per chunk, %.3f CPU s/MB\n", what,
              cpu / kChunks * 1e6, cpu / (kChunks * chunk.size() / kMB));
}

// One sent message echoed as a single TX line: the time until it is laid out and painted.
void logHugeLine(int kilobytes) {
  Window w;
  w.start();
  codec::TextDecoder decoder;
  QCoreApplication::processEvents();
  const QByteArray message = streamBytes(kilobytes * 1024);
  const QString text = QStringLiteral("TX:") + QString::fromLatin1(codec::BytesToHexText(message));
  const double t0 = monotonicSeconds();
  w.window->Log().ScrollLogToEnd();
  w.window->Log().AppendLogLine(text, app::kTxColour);
  w.window->repaint();
  QCoreApplication::processEvents();
  const double shown = monotonicSeconds() - t0;
  // The answer that usually follows: one more line below the long one.
  w.window->Log().ReceiveChunk("ok", store::Representation::Hex, decoder);
  w.window->Log().flush();
  w.window->repaint();
  QCoreApplication::processEvents();
  const double next = monotonicSeconds() - t0 - shown;
  std::printf(
      "log, one TX line of %d KB in HEX (%lld characters): shown after %.0f ms, the next line "
      "%.0f ms later\n",
      kilobytes, static_cast<long long>(text.size()), shown * 1000, next * 1000);
}

// A large hex message pasted into the send box and sent once, to a TCP peer or down a pty whose
// far end reads it all: how long the paste and the send each hold the window up.
void sendHugeMessage(int kilobytes, bool serial) {
  testing_support::PtyPair pty;
  const int port = testing_support::FreeLoopbackPort();
  testing_support::LoopbackListener listener(port);
  Window w;
  if (serial)
    w.useSerial(pty);
  else
    w.useTcp(2, port);
  w.start();
  std::optional<testing_support::LoopbackPeer> peer;
  if (!serial) peer.emplace(listener.accept());
  const qint64 size = kilobytes * 1024;
  const pid_t reader = spawn([&] {
    char buffer[65536];
    for (qint64 got = 0; serial && got < size;) {
      const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
      if (n <= 0) break;
      got += n;
    }
  });
  w.waitFor([] { return false; }, 0.2);
  const QByteArray message = streamBytes(size);
  const double t0 = monotonicSeconds();
  w.window->Controls().Memo2->setPlainText(QString::fromLatin1(codec::BytesToHexText(message)));
  w.window->repaint();
  QCoreApplication::processEvents();
  const double t1 = monotonicSeconds();
  w.window->Controls().BtnSend1->click();
  w.window->repaint();
  QCoreApplication::processEvents();
  const double t2 = monotonicSeconds();
  waitpid(reader, nullptr, 0);
  std::printf(
      "send box, %s, %d KB in HEX: pasted and shown in %.0f ms, sent and echoed in %.0f "
      "ms, on the wire after %.0f ms\n",
      serial ? "serial" : "TCP client", kilobytes, (t1 - t0) * 1000, (t2 - t1) * 1000,
      (monotonicSeconds() - t1) * 1000);
}

// The time from a burst's last byte to its RX line, beyond the gap. A burst of 64 bytes comes in
// `pieces` writes 1 ms apart, as a device at 115200 baud behind a USB adapter delivers it (a
// packet a millisecond, 64 bytes taking 5.6 ms on the line), or in one write.
void latency(int gapMs, int pieces) {
  testing_support::PtyPair pty;
  Window w;
  w.useSerial(pty);
  w.ini().writeInteger("ComSet", "RecieveDelay", gapMs);
  w.start();
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  constexpr int kBursts = 200;  // enough for the 99th percentile to be more than the worst
  std::vector<double> loggedAt;
  QObject::connect(&w.window->Log(), &app::TrafficLog::chunkLogged,
                   [&](qsizetype) { loggedAt.push_back(monotonicSeconds()); });
  const pid_t child = spawn([&] {
    const QByteArray burst(64, 'x');
    for (int i = 0; i < kBursts; ++i) {
      for (int piece = 0; piece < pieces; ++piece) {
        if (piece > 0) usleep(1000);
        const qsizetype from = burst.size() * piece / pieces;
        const qsizetype to = burst.size() * (piece + 1) / pieces;
        writeAll(pty.master(), burst.constData() + from, static_cast<size_t>(to - from));
      }
      tcdrain(pty.master());
      const double now = monotonicSeconds();
      writeAll(pipeFds[1], reinterpret_cast<const char*>(&now), sizeof now);
      usleep(static_cast<useconds_t>((gapMs * 3 + 20) * 1000));
    }
  });
  w.waitFor([&] { return static_cast<int>(loggedAt.size()) >= kBursts; },
            kBursts * (gapMs * 3 + 40) / 1000.0 + 10);
  waitpid(child, nullptr, 0);
  std::vector<double> delays;
  for (size_t i = 0; i < loggedAt.size(); ++i) {
    double sentAt = 0;
    if (::read(pipeFds[0], &sentAt, sizeof sentAt) != sizeof sentAt) break;
    delays.push_back((loggedAt[i] - sentAt) * 1000 - gapMs);
  }
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  std::sort(delays.begin(), delays.end());
  if (delays.empty()) return;
  std::printf(
      "latency over the gap, gap %2d ms, %d piece%s: median %6.3f ms  p99 %6.3f ms  (%zu bursts)\n",
      gapMs, pieces, pieces == 1 ? "" : "s", delays[delays.size() / 2],
      delays[std::min(delays.size() - 1, delays.size() * 99 / 100)], delays.size());
}

void idle(const char* name, const std::function<void(Window&)>& configure) {
  Window w;
  configure(w);
  w.start();
  w.waitFor([] { return false; }, 0.5);
  const auto before = threadSwitches();
  QEventLoop loop;  // one timer for the whole 10 s, so the bench itself wakes nobody meanwhile
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  const auto after = threadSwitches();
  std::printf("idle 10 s, %s:", name);
  for (const auto& [tid, thread] : after) {
    const auto earlier = before.find(tid);
    const bool same = earlier != before.end() && earlier->second.name == thread.name;
    const long long count = thread.voluntary + thread.involuntary -
                            (same ? earlier->second.voluntary + earlier->second.involuntary : 0);
    std::printf("  %s %lld", qPrintable(thread.name + "/" + tid), count);
  }
  std::printf("\n");
}

// A long stream at 100 kB/s into the log: resident memory each minute and the longest stall.
void soak(const char* name, int minutes, bool serial) {
  testing_support::PtyPair pty;
  Window w;
  const int port = testing_support::FreeLoopbackPort();
  if (serial)
    w.useSerial(pty);
  else
    w.useTcp(1, port);
  w.start();
  constexpr double kRate = 100000;
  const qint64 total = static_cast<qint64>(kRate * 60 * minutes);
  std::vector<pid_t> children;
  const int feeders = serial ? 1 : 10;
  for (int i = 0; i < feeders; ++i) {
    children.push_back(spawn([&] {
      if (serial) {
        feed(pty.master(), total, kRate);
        return;
      }
      testing_support::LoopbackPeer peer = testing_support::LoopbackPeer::Connect(port);
      feed(peer.fd(), total / feeders, kRate / feeders);
      sleep(2);
    }));
  }
  std::printf("soak %s, %d min at 100 kB/s: RSS MB per minute", name, minutes);
  double longestStall = 0;
  for (int minute = 1; minute <= minutes; ++minute) {
    StallMeter stall;
    stall.start();
    w.waitFor([] { return false; }, 60);
    longestStall = std::max(longestStall, stall.stop());
    std::printf(" %.1f", residentKb() / 1024.0);
    std::fflush(stdout);
  }
  w.waitFor([&] { return w.logged >= total / feeders * feeders; }, 10);
  std::printf("; longest stall %.1f ms; %s\n", longestStall,
              w.logged >= total / feeders * feeders ? "all bytes" : "BYTES LOST");
  w.window->close();
  w.window.reset();
  for (pid_t c : children) waitpid(c, nullptr, 0);
}

// Prints how long this process took from its launch (ORUVO_BENCH_LAUNCHED_AT) to a shown window,
// its resident memory, whether the window was filled and the CPU it took to get there. The
// program's window, its files in ORUVO_BENCH_HOME; or with `bare` the least a Qt program with a
// Chinese interface shows: an application and one text view of one line, the floor start-up
// cannot go under on this machine. With `painted` the window is painted once before the figures.
int startupProbe(bool bare, bool painted = false) {
  const double launchedAt = qEnvironmentVariable("ORUVO_BENCH_LAUNCHED_AT").toDouble();
  int argc = 1;
  char name[] = "bench_program";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  bool filled = false;
  testing_support::FakePrompts prompts;
  testing_support::FakeShell shell;
  const store::AppFiles files(qEnvironmentVariable("ORUVO_BENCH_HOME"));
  std::unique_ptr<QPlainTextEdit> bareView;
  std::unique_ptr<app::TfrmZh> window;
  if (bare) {
    bareView = std::make_unique<QPlainTextEdit>();
    bareView->setPlainText(QStringLiteral("通讯调试 RX:01 02 03 (12:00:00.000)"));
    bareView->show();
    filled = !bareView->toPlainText().isEmpty();
  } else {
    window = std::make_unique<app::TfrmZh>(app::AppContext{files, prompts, shell});
    window->show();
    if (painted) {
      window->repaint();
      QCoreApplication::processEvents();
    }
    filled = !window->Panels().text(4).isEmpty();
  }
  std::printf("%f %ld %d %f\n", (monotonicSeconds() - launchedAt) * 1000, residentKb(),
              filled ? 1 : 0, cpuSeconds() * 1000);
  return 0;
}

struct StartupFigures {
  double medianMs = 0;
  double residentMb = 0;
  double medianCpuMs = 0;
  size_t runs = 0;
};

// Ten launches of `self` with `probe`, each timed from before its fork to its shown window. They
// share one home: the first writes the program's files, as a first start does, and the rest
// start as a user's program usually does, with its files there. `prepare` writes files into the
// home before the first launch.
StartupFigures launches(const char* self, const char* probe,
                        const std::function<void(const store::AppFiles&)>& prepare = {}) {
  const testing_support::TempDir home;
  if (prepare) prepare(store::AppFiles(home.path()));
  std::vector<double> times;
  std::vector<long> rss;
  std::vector<double> cpu;
  for (int i = 0; i < 10; ++i) {
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
      dup2(out[1], 1);
      qputenv("ORUVO_BENCH_HOME", home.path().toLocal8Bit());
      qputenv("ORUVO_BENCH_LAUNCHED_AT", QByteArray::number(monotonicSeconds(), 'f', 6));
      execl(self, self, probe, nullptr);
      _exit(1);
    }
    ::close(out[1]);
    char buffer[256] = {};
    const ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);
    ::close(out[0]);
    waitpid(child, nullptr, 0);
    double ms = 0;
    long kb = 0;
    int filled = 0;
    double cpuMs = 0;
    if (n > 0 && std::sscanf(buffer, "%lf %ld %d %lf", &ms, &kb, &filled, &cpuMs) == 4 && filled) {
      times.push_back(ms);
      rss.push_back(kb);
      cpu.push_back(cpuMs);
    }
  }
  if (times.empty()) return {};
  std::sort(times.begin(), times.end());
  std::sort(rss.begin(), rss.end());
  std::sort(cpu.begin(), cpu.end());
  return {times[times.size() / 2], rss[rss.size() / 2] / 1024.0, cpu[cpu.size() / 2], times.size()};
}

// The send box holding a 256 KiB message as hex text (786431 characters) from the last run, as
// `[dbw] content` keeps it: the CPU of a start to a painted window, against a start with an empty
// box, and then the CPU of each key typed at the end of the message, until it is painted.
void sendBoxHugeMessage(const char* self) {
  const QString message = QString::fromLatin1(codec::BytesToHexText(streamBytes(256 * 1024)));
  const auto withMessage = [&](const store::AppFiles& files) {
    store::IniFile(files.comsetIni()).writeString("dbw", "content", store::EscapeOneLine(message));
  };
  const StartupFigures empty = launches(self, "--painted-startup-probe");
  const StartupFigures full = launches(self, "--painted-startup-probe", withMessage);
  if (empty.runs == 0 || full.runs == 0) return;
  std::printf(
      "send box, %lld characters of hex text in it at start-up: %.0f ms CPU to a painted window "
      "(median of %zu), with an empty box %.0f ms\n",
      static_cast<long long>(message.size()), full.medianCpuMs, full.runs, empty.medianCpuMs);

  Window w;
  w.autoOpen = false;
  withMessage(w.files);
  w.start();
  auto* box = w.window->Controls().Memo2;
  w.window->activateWindow();
  box->setFocus();
  auto key = [&](int code, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
    QApplication::sendEvent(box, &release);
    QCoreApplication::processEvents();
  };
  key(Qt::Key_End, Qt::ControlModifier, QString());
  w.waitFor([] { return false; }, 0.2);
  constexpr int kKeys = 40;
  double longest = 0;
  const double cpu0 = cpuSeconds();
  for (int i = 0; i < kKeys; ++i) {
    const double before = cpuSeconds();
    key(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    longest = std::max(longest, cpuSeconds() - before);
  }
  const double perKey = (cpuSeconds() - cpu0) / kKeys;
  const bool typed = box->toPlainText().size() == message.size() + kKeys;
  std::printf(
      "send box, a key typed at the end of it: %.1f ms CPU per key, painted (longest %.1f ms)%s\n",
      perKey * 1000, longest * 1000, typed ? "" : "; KEYS LOST");
  w.window->close();
}

void startup(const char* self) {
  // Alternated, so a slow spell of the machine weighs on both alike.
  const StartupFigures floor = launches(self, "--bare-startup-probe");
  const StartupFigures program = launches(self, "--startup-probe");
  if (program.runs == 0 || floor.runs == 0) return;
  std::printf(
      "start-up to a filled window: median %6.1f ms over %zu runs, resident %5.1f MB; a bare Qt "
      "window %5.1f ms, %4.1f MB; ratio %.2f\n",
      program.medianMs, program.runs, program.residentMb, floor.medianMs, floor.residentMb,
      program.medianMs / floor.medianMs);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && QByteArray(argv[1]) == "--startup-probe") return startupProbe(false);
  if (argc > 1 && QByteArray(argv[1]) == "--bare-startup-probe") return startupProbe(true);
  if (argc > 1 && QByteArray(argv[1]) == "--painted-startup-probe")
    return startupProbe(false, true);
  MeteredApplication application(argc, argv);

  // An argument picks one group: log, serial, tcp, latency, idle, startup or sendbox.
  const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
  auto wanted = [&](const char* group) { return only.isEmpty() || only == group; };
  if (wanted("log")) {
    for (auto style : {store::Representation::Hex, store::Representation::Ascii}) logOnly(style);
    logPaced(store::Representation::Hex, letterChunk(), "HEX");
    logPaced(store::Representation::Ascii, letterChunk(), "ASCII");
    logPaced(store::Representation::Ascii, chineseChunk(), "ASCII, Chinese text");
    for (int kilobytes : {16, 64, 256}) logHugeLine(kilobytes);
    logScroll();
    for (bool serial : {false, true}) {
      for (int kilobytes : {16, 64, 256}) sendHugeMessage(kilobytes, serial);
    }
  }
  constexpr qint64 kStream = 20'000'000;
  // "unpaced HEX|ASCII limit": one unpaced case, in the process the loop further down starts.
  if (only == "unpaced" && argc > 3) {
    const int style = QByteArray(argv[2]) == "ASCII" ? 1 : 0;
    printStream((QByteArray("serial ") + argv[2] + " unpaced").constData(),
                serialStream(style, 0, kStream), atof(argv[3]));
    return 0;
  }
  const bool unpacedAlone = only == "unpaced";
  const double ptyLimit = wanted("serial") || unpacedAlone ? plainPtyReadMBs(kStream * 5) : 0;
  if (wanted("serial") || unpacedAlone)
    std::printf("plain read loop on a pty: %.2f MB/s\n", ptyLimit);
  if (wanted("serial") || only == "small") {
    serialSmallChunks(20, 40, 150);
    // A maximised window: the log's pixels moved up a row for each line are most of its cost.
    serialSmallChunks(20, 40, 150, QSize(1920, 1040));
  }
  // "paced HEX|ASCII rate [seconds]": one paced serial case alone, as for a profiler.
  if (only == "paced" && argc > 3) {
    serialPaced(QByteArray(argv[2]) == "ASCII" ? 1 : 0, atof(argv[3]),
                argc > 4 ? atof(argv[4]) : 5);
    return 0;
  }
  for (const char* style : {"HEX", "ASCII"}) {
    if (!wanted("serial") && !unpacedAlone) break;
    if (!unpacedAlone) {
      for (double rate : {11520.0, 92160.0, 300000.0}) serialPaced(style[0] == 'A', rate, 5);
    }
    // In a process of its own, so its resident memory is the case's, not what the cases run
    // before it left in the heap.
    std::fflush(stdout);
    QProcess unpaced;
    unpaced.setProcessChannelMode(QProcess::ForwardedChannels);
    unpaced.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("unpaced"), QString::fromLatin1(style), QString::number(ptyLimit)});
    unpaced.waitForFinished(-1);
  }
  if (wanted("record")) recordingCost(kStream, ptyLimit > 0 ? ptyLimit : plainPtyReadMBs(kStream));
  if (wanted("tcp")) {
    const double socketLimit = plainSocketReadMBs(kStream * 10);
    std::printf("plain socket reader on loopback: %.2f MB/s\n", socketLimit);
    printStream("TCP server, 1 client, HEX", serverStream(1, kStream * 2), socketLimit);
    printStream("TCP server, 10 clients, HEX", serverStream(10, kStream * 2), socketLimit);
  }
  if (wanted("latency")) {
    latency(30, 1);
    latency(5, 1);
    latency(30, 6);
  }
  if (wanted("idle"))
    idle("serial open and silent", [](Window& w) {
      static testing_support::PtyPair pty;
      w.useSerial(pty);
    });
  if (wanted("idle"))
    idle("server listening", [](Window& w) { w.useTcp(1, testing_support::FreeLoopbackPort()); });
  if (wanted("startup")) startup(argv[0]);
  if (wanted("sendbox")) sendBoxHugeMessage(argv[0]);
  // The soak runs only when asked for: "soak [minutes]" (30 by default).
  if (only == "soak") {
    const int minutes = argc > 2 ? std::max(1, atoi(argv[2])) : 30;
    soak("serial", minutes, true);
    soak("TCP server, 10 clients", minutes, false);
  }
  return 0;
}
