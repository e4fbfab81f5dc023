#pragma once
// What the benchmarks measure with: wall-clock and CPU time, resident memory, the context
// switches of each thread of this process, and the longest stall of the GUI thread's event loop.

#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <chrono>
#include <map>

namespace bench_support {

double monotonicSeconds();
// CPU time of this process (user and system, every thread).
double cpuSeconds();
// CPU time of the calling thread, the GUI thread where the window runs.
double threadCpuSeconds();
long residentKb();

struct ThreadSwitches {
  QString name;  // the thread's comm
  long long voluntary = 0;
  long long involuntary = 0;
};
// Context switches of every thread of this process, by thread id, from /proc/self/task.
std::map<QString, ThreadSwitches> threadSwitches();

// The longest gap between ticks of a 25 ms timer on the GUI thread, beyond its interval: coarse
// enough that its own wake-ups hardly count in the CPU figures, fine enough for a 100 ms bound.
class StallMeter {
 public:
  StallMeter();
  void start();
  double stop();  // ms

 private:
  using Clock = std::chrono::steady_clock;
  QTimer timer_;
  Clock::time_point last_;
  Clock::duration longest_{};
};

struct StreamFigures {
  qint64 sent = 0, logged = 0;
  double seconds = 0, cpu = 0, guiCpu = 0, stallMs = 0;
  long rssKb = 0;
};

// Measures one stream from its construction to finish(): time, CPU of the process and of the
// GUI thread, the longest stall, and resident memory at the end.
class StreamMeasure {
 public:
  StreamMeasure() { stall_.start(); }
  StreamFigures finish(qint64 sent, qint64 logged);

 private:
  StallMeter stall_;
  const double cpu0_ = cpuSeconds();
  const double gui0_ = threadCpuSeconds();
  const double t0_ = monotonicSeconds();
};

}  // namespace bench_support
