#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "platform/sysinfo_linux.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteAll;

TEST(ParseKernelRelease, ReadsMajorMinorAndPatchAndIgnoresTheSuffix) {
  struct Case {
    const char* release;
    int major, minor, build;
  };
  const Case cases[] = {{"6.1.0-18-amd64", 6, 1, 0},
                        {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
                        {"4.19", 4, 19, 0},
                        {"6.8.0+rc1", 6, 8, 0},
                        {"weird", 0, 0, 0}};
  for (const Case& c : cases) {
    platform::SystemVersion version;
    platform::ParseKernelRelease(QString::fromLatin1(c.release), version);
    EXPECT_EQ(version.major, c.major) << c.release;
    EXPECT_EQ(version.minor, c.minor) << c.release;
    EXPECT_EQ(version.build, c.build) << c.release;
  }
}

TEST(DistributionNameFrom, PrefersThePrettyNameWithoutItsQuotes) {
  EXPECT_EQ(platform::DistributionNameFrom(
                "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
  EXPECT_EQ(platform::DistributionNameFrom("PRETTY_NAME='Say \\\"hi\\\"'\n"),
            QStringLiteral("Say \"hi\""));
}

TEST(DistributionNameFrom, FallsBackToNameAndVersionThenToNothing) {
  EXPECT_EQ(platform::DistributionNameFrom("# comment\nNAME=Arch\nVERSION=\"rolling\"\n"),
            QStringLiteral("Arch rolling"));
  EXPECT_EQ(platform::DistributionNameFrom("ID=x\n"), QString());
}

TEST(RunningSystemVersion, NamesTheKernelAndFindsOsReleaseUnderUsrLibWhenEtcHasNone) {
  TempDir root;
  QDir().mkpath(root.file(QStringLiteral("usr/lib")));
  WriteAll(root.file(QStringLiteral("usr/lib/os-release")), "PRETTY_NAME=\"Test OS 1\"\n");
  const auto result = platform::RunningSystemVersion(root.path());
  const auto* version = std::get_if<platform::SystemVersion>(&result);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->name, QStringLiteral("Linux"));
  EXPECT_GT(version->major, 0);
  EXPECT_EQ(version->detail, QStringLiteral("Test OS 1"));
}

TEST(PhysicalMemoryBytes, MatchesTheKernelsMemTotalEvenAboveFourGibibytes) {
  QFile meminfo(QStringLiteral("/proc/meminfo"));
  ASSERT_TRUE(meminfo.open(QIODevice::ReadOnly));
  const auto match = QRegularExpression(QStringLiteral("MemTotal:\\s+(\\d+) kB"))
                         .match(QString::fromLatin1(meminfo.readAll()));
  ASSERT_TRUE(match.hasMatch());
  const std::uint64_t memTotalKb = match.captured(1).toULongLong();

  const auto result = platform::PhysicalMemoryBytes();
  ASSERT_TRUE(std::holds_alternative<std::uint64_t>(result));
  EXPECT_EQ(std::get<std::uint64_t>(result) / 1024, memTotalKb);
}

TEST(MeasureCpuMhz, GivesAPlausibleFrequencyAndRestoresTheThreadsPriority) {
  int policyBefore = -1;
  sched_param paramBefore{};
  pthread_getschedparam(pthread_self(), &policyBefore, &paramBefore);
  const int niceBefore = getpriority(PRIO_PROCESS, 0);

  const std::optional<double> mhz = platform::MeasureCpuMhz();

  int policyAfter = -1;
  sched_param paramAfter{};
  pthread_getschedparam(pthread_self(), &policyAfter, &paramAfter);
  EXPECT_EQ(policyAfter, policyBefore);
  EXPECT_EQ(paramAfter.sched_priority, paramBefore.sched_priority);
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), niceBefore);
#if defined(__x86_64__) || defined(__i386__)
  ASSERT_TRUE(mhz.has_value());
  EXPECT_GT(*mhz, 100.0);
  EXPECT_LT(*mhz, 20000.0);
#endif
}

TEST(CpufreqMhz, ReadsTheCurrentFrequencyElseTheMaximumElseNothing) {
  TempDir sysfs;
  const QString dir = sysfs.file(QStringLiteral("devices/system/cpu/cpu0/cpufreq"));
  QDir().mkpath(dir);
  EXPECT_FALSE(platform::CpufreqMhz(sysfs.path()).has_value());
  WriteAll(dir + QStringLiteral("/cpuinfo_max_freq"), "3600000\n");
  EXPECT_DOUBLE_EQ(platform::CpufreqMhz(sysfs.path()).value_or(0), 3600.0);
  WriteAll(dir + QStringLiteral("/scaling_cur_freq"), "2400500\n");
  EXPECT_DOUBLE_EQ(platform::CpufreqMhz(sysfs.path()).value_or(0), 2400.5);
}

}  // namespace
