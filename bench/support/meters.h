#pragma once
// What the benchmarks measure with: wall-clock and CPU time, resident memory, the context
// switches of each thread of this process, and the longest stall of the GUI thread's event loop.

#include <QString>
#include <QApplication>
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

// The benchmarks' application: it times each event the GUI thread's loop dispatches, whole (the
// events it sends meanwhile, such as the paints of an update, count in it), so the longest stall
// is measured without a timer of its own waking the loop and adding to the CPU figures.
class MeteredApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  friend class StallMeter;
  using Clock = std::chrono::steady_clock;
  int depth_ = 0;
  Clock::duration longest_{};
};

// The longest single event of the GUI thread's loop while it runs, under a MeteredApplication.
class StallMeter {
 public:
  void start();
  double stop();  // ms
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
