#include "platform/sysinfo_linux.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace platform {
namespace {

#if defined(__x86_64__) || defined(__i386__)
std::optional<std::uint64_t> readTimeStampCounter() { return __rdtsc(); }
#else
std::optional<std::uint64_t> readTimeStampCounter() { return std::nullopt; }
#endif

// Raises the calling thread to the highest priority it may take for its lifetime: real-time
// FIFO scheduling where allowed (root or CAP_SYS_NICE), else the lowest nice value the
// RLIMIT_NICE limit permits. On Linux both act on the calling thread alone, so the other
// threads of the program keep their priority. Refusals are expected and leave things as
// they were.
class RaisedThreadPriority {
 public:
  RaisedThreadPriority() {
    if (pthread_getschedparam(pthread_self(), &policy_, &param_) != 0) return;
    sched_param top{};
    top.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &top) == 0) {
      realTime_ = true;
      return;
    }
    errno = 0;
    nice_ = getpriority(PRIO_PROCESS, 0);  // -1 is a valid nice value: errno tells a failure
    if (errno != 0) return;
    const int target = lowestPermittedNice();
    if (target < nice_ && setpriority(PRIO_PROCESS, 0, target) == 0) niceLowered_ = true;
  }
  ~RaisedThreadPriority() {
    if (realTime_) pthread_setschedparam(pthread_self(), policy_, &param_);
    if (niceLowered_) setpriority(PRIO_PROCESS, 0, nice_);
  }
  RaisedThreadPriority(const RaisedThreadPriority&) = delete;
  RaisedThreadPriority& operator=(const RaisedThreadPriority&) = delete;

 private:
  // RLIMIT_NICE caps the nice value at 20 - limit; an unlimited limit allows -20.
  static int lowestPermittedNice() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return 20;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= 40) return -20;
    return 20 - static_cast<int>(limit.rlim_cur);
  }

  int policy_ = SCHED_OTHER;
  sched_param param_{};
  int nice_ = 0;
  bool realTime_ = false;
  bool niceLowered_ = false;
};

QString unquote(QString value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.mid(1, value.size() - 2);
  }
  QString plain;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value.at(i) == u'\\' && i + 1 < value.size()) ++i;
    plain.append(value.at(i));
  }
  return plain;
}

QString readSmallFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.read(64 * 1024));
}

std::optional<double> kilohertzFileAsMhz(const QString& path) {
  bool ok = false;
  const double khz = readSmallFile(path).trimmed().toDouble(&ok);
  if (!ok || khz <= 0) return std::nullopt;
  return khz / 1000.0;
}

}  // namespace

void ParseKernelRelease(const QString& release, SystemVersion& version) {
  // "6.1.0-18-amd64": the numeric parts end at the first character that is neither a digit
  // nor a dot.
  qsizetype end = 0;
  while (end < release.size() && (release.at(end).isDigit() || release.at(end) == u'.')) ++end;
  const QStringList parts = release.left(end).split(u'.');
  int* const fields[] = {&version.major, &version.minor, &version.build};
  for (qsizetype i = 0; i < 3; ++i) *fields[i] = i < parts.size() ? parts.at(i).toInt() : 0;
}

QString DistributionNameFrom(const QString& osReleaseText) {
  QString name, versionText;
  for (const QString& line : osReleaseText.split(u'\n')) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0 || line.startsWith(u'#')) continue;
    const QString key = line.left(eq).trimmed();
    const QString value = unquote(line.mid(eq + 1).trimmed());
    if (key == u"PRETTY_NAME" && !value.isEmpty()) return value;
    if (key == u"NAME") name = value;
    if (key == u"VERSION") versionText = value;
  }
  return QStringList{name, versionText}.join(u' ').trimmed();
}

std::variant<SystemVersion, SystemError> RunningSystemVersion(const QString& root) {
  utsname uts{};
  if (uname(&uts) != 0) return errorFromErrno();
  SystemVersion version;
  version.name = QString::fromLocal8Bit(uts.sysname);
  ParseKernelRelease(QString::fromLocal8Bit(uts.release), version);
  const QDir rootDir(root);
  // os-release lives in /etc, or in /usr/lib where /etc has none.
  for (const char* candidate : {"etc/os-release", "usr/lib/os-release"}) {
    const QString text = readSmallFile(rootDir.filePath(QString::fromLatin1(candidate)));
    if (text.isEmpty()) continue;
    version.detail = DistributionNameFrom(text);
    break;
  }
  return version;
}

std::variant<std::uint64_t, SystemError> PhysicalMemoryBytes() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return errorFromErrno();
  return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

std::optional<double> CpufreqMhz(const QString& sysfsRoot) {
  const QString cpu0 = sysfsRoot + QStringLiteral("/devices/system/cpu/cpu0/cpufreq/");
  if (auto mhz = kilohertzFileAsMhz(cpu0 + QStringLiteral("scaling_cur_freq"))) return mhz;
  return kilohertzFileAsMhz(cpu0 + QStringLiteral("cpuinfo_max_freq"));
}

std::optional<double> MeasureCpuMhz(const QString& sysfsRoot) {
  using namespace std::chrono_literals;
  if (!readTimeStampCounter()) return CpufreqMhz(sysfsRoot);
  const RaisedThreadPriority raised;
  std::this_thread::sleep_for(100ms);
  const std::uint64_t start = *readTimeStampCounter();
  std::this_thread::sleep_for(100ms);
  const std::uint64_t end = *readTimeStampCounter();
  // Ticks in 100 ms / 100000 = ticks per microsecond = MHz.
  return static_cast<double>(end - start) / 100000.0;
}

}  // namespace platform
