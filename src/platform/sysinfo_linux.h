#pragma once
// Facts about the running machine for the About box: the system's name and version, the
// physical memory and the processor's clock frequency. Each call asks the system afresh;
// failures come back as SystemError values. Everything here runs on the calling thread; the
// frequency measurement keeps that thread asleep for about 200 ms.

#include <QString>
#include <cstdint>
#include <optional>
#include <variant>

#include "platform/system_error.h"

namespace platform {

// The kernel's name and version, with the distribution's name as the detail text.
struct SystemVersion {
  QString name;  // "Linux"
  int major = 0;
  int minor = 0;
  int build = 0;   // the kernel's patch level: 6.1.0 gives 0
  QString detail;  // e.g. "Debian GNU/Linux 12 (bookworm)"; empty when unknown
};

// The running kernel (uname) and the distribution named by os-release under `root`.
std::variant<SystemVersion, SystemError> RunningSystemVersion(
    const QString& root = QStringLiteral("/"));

// Reads "6.1.0-18-amd64" as 6, 1 and 0; missing or non-numeric parts read as 0.
void ParseKernelRelease(const QString& release, SystemVersion& version);

// PRETTY_NAME from the text of an os-release file, its quotes removed; NAME + " " + VERSION
// when there is no PRETTY_NAME; empty when neither is there.
QString DistributionNameFrom(const QString& osReleaseText);

// The machine's total physical memory in bytes, as the kernel counts it.
std::variant<std::uint64_t, SystemError> PhysicalMemoryBytes();

// The time-stamp counter's ticks over 100 ms divided by 100000, measured at the highest
// priority the thread may take (the priority it had is restored; a refused raise is no
// error). Where the processor has no time-stamp counter, the current frequency cpufreq
// reports under `sysfsRoot`. Nothing when neither is available.
std::optional<double> MeasureCpuMhz(const QString& sysfsRoot = QStringLiteral("/sys"));

// cpufreq's current (else maximum) frequency of cpu0 under `sysfsRoot`, in MHz.
std::optional<double> CpufreqMhz(const QString& sysfsRoot);

}  // namespace platform
