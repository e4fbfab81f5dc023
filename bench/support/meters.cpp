#include "bench/support/meters.h"

#include <sys/resource.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace bench_support {

double monotonicSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double cpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
         ru.ru_stime.tv_usec / 1e6;
}

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

long residentKb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long kb = 0;
  while (f && std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "VmRSS: %ld", &kb) == 1) break;
  }
  if (f) std::fclose(f);
  return kb;
}

std::map<QString, ThreadSwitches> threadSwitches() {
  std::map<QString, ThreadSwitches> threads;
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile status(tasks.filePath(tid + QStringLiteral("/status")));
    if (!status.open(QIODevice::ReadOnly)) continue;
    QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
    ThreadSwitches t;
    if (comm.open(QIODevice::ReadOnly)) t.name = QString::fromUtf8(comm.readAll()).trimmed();
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("voluntary_ctxt_switches:"))
        t.voluntary = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
      else if (line.startsWith("nonvoluntary_ctxt_switches:"))
        t.involuntary = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    threads[tid] = t;
  }
  return threads;
}

bool MeteredApplication::notify(QObject* receiver, QEvent* event) {
  if (QThread::currentThread() != thread()) return QApplication::notify(receiver, event);
  const Clock::time_point start = Clock::now();
  ++depth_;
  const bool handled = QApplication::notify(receiver, event);
  if (--depth_ == 0) longest_ = std::max(longest_, Clock::now() - start);
  return handled;
}

namespace {
MeteredApplication& meteredApplication() {
  auto* application = dynamic_cast<MeteredApplication*>(QCoreApplication::instance());
  if (application == nullptr) qFatal("the benchmarks run under a MeteredApplication");
  return *application;
}
}  // namespace

void StallMeter::start() { meteredApplication().longest_ = {}; }

double StallMeter::stop() {
  return std::chrono::duration<double, std::milli>(meteredApplication().longest_).count();
}

StreamFigures StreamMeasure::finish(qint64 sent, qint64 logged) {
  return {sent,
          logged,
          monotonicSeconds() - t0_,
          cpuSeconds() - cpu0_,
          threadCpuSeconds() - gui0_,
          stall_.stop(),
          residentKb()};
}

}  // namespace bench_support
