// Ini writes that the system refuses, and the file content that once made a write go astray.
// CI runs as root, for whom directory permissions stop nothing, so the read-only directory is
// written to from a child process that first becomes the unprivileged user "nobody" (uid and
// gid 65534); a path below a regular file (ENOTDIR) refuses even root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <stdexcept>

#include "store/ini_file.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using store::IniFile;
using store::IniWriteError;
using testing_support::ReadAll;
using testing_support::Report;
using testing_support::RunInChild;
using testing_support::TempDir;
using testing_support::WriteAll;

constexpr uid_t kNobody = 65534;

QByteArray expectedMessage(const QString& path) {
  return QStringLiteral("Unable to write to %1").arg(path).toUtf8();
}

// Each write reports one line: the IniWriteError's text, or what else happened.
int tryEveryKindOfWrite(const IniFile& ini, int reportFd) {
  const auto attempt = [&](const std::function<void()>& write) {
    try {
      write();
      Report(reportFd, "no error\n");
    } catch (const IniWriteError& e) {
      Report(reportFd, QByteArray(e.what()) + '\n');
    } catch (const std::exception& e) {
      Report(reportFd, "other error: " + QByteArray(e.what()) + '\n');
    }
  };
  attempt([&] { ini.writeInteger("ComSet", "SPort", 3000); });      // an existing key
  attempt([&] { ini.writeString("ComSet", "IP", "10.0.0.2"); });    // a new key
  attempt([&] { ini.writeBool("DefineSend", "isCircle", true); });  // a new section
  return 0;
}

// Every kind of write, from a child process that has become "nobody" when run as root.
testing_support::ChildOutcome writeAsNobody(const IniFile& ini) {
  return RunInChild([&](int reportFd) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 3;
    return tryEveryKindOfWrite(ini, reportFd);
  });
}

// What tryEveryKindOfWrite reports when the system refuses each of its writes.
QByteArray everyWriteRefused(const IniFile& ini) {
  const QByteArray line = expectedMessage(ini.path()) + '\n';
  return line + line + line;
}

QStringList entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

TEST(IniFault, WritesIntoADirectoryThatBecameReadOnlyFailWithUnableToWriteAndLoseNothing) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  ini.writeInteger("ComSet", "SPort", 2000);
  ini.writeString("zh", "PageIndex", "1");
  const QByteArray before = ReadAll(ini.path());
  ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0555), 0);

  const auto outcome = writeAsNobody(ini);
  ::chmod(dir.path().toLocal8Bit().constData(), 0700);

  ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
  EXPECT_EQ(outcome.reported, everyWriteRefused(ini));
  EXPECT_EQ(ReadAll(ini.path()), before);
  EXPECT_EQ(entries(dir.path()), QStringList{"comset.ini"}) << "no temporary file is left";
  EXPECT_EQ(ini.readInteger("ComSet", "SPort", 0), 2000);

  ini.writeInteger("ComSet", "SPort", 3000);
  EXPECT_EQ(ini.readInteger("ComSet", "SPort", 0), 3000) << "writable again, writes work again";
  EXPECT_EQ(ini.readString("zh", "PageIndex", ""), "1");
}

TEST(IniFault, WritesToAFileThatCannotBeReadFailAndKeepTheOtherSettings) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  ini.writeInteger("ComSet", "Style", 2);
  ini.writeString("ComSet", "IP", "10.0.0.9");
  const QByteArray before = ReadAll(ini.path());
  // The directory lets anyone replace the file; the file itself cannot be read but by root.
  ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(::chmod(ini.path().toLocal8Bit().constData(), 0200), 0);

  const auto outcome = writeAsNobody(ini);
  ::chmod(dir.path().toLocal8Bit().constData(), 0700);

  ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
  EXPECT_EQ(outcome.reported, everyWriteRefused(ini));
  EXPECT_EQ(ReadAll(ini.path()), before);
  EXPECT_EQ(entries(dir.path()), QStringList{"comset.ini"});
}

TEST(IniFault, WritesBelowARegularFileFailWithUnableToWriteEvenForRoot) {
  TempDir dir;
  WriteAll(dir.file("plain"), "not a directory\n");
  const IniFile ini(dir.file("plain") + QStringLiteral("/comset.ini"));

  const auto outcome = RunInChild([&](int reportFd) { return tryEveryKindOfWrite(ini, reportFd); });

  ASSERT_TRUE(outcome.exitedWith(0)) << "child status " << outcome.status;
  EXPECT_EQ(outcome.reported, everyWriteRefused(ini));
  EXPECT_EQ(ReadAll(dir.file("plain")), "not a directory\n");
  EXPECT_EQ(entries(dir.path()), QStringList{"plain"});
  EXPECT_EQ(ini.readInteger("ComSet", "SPort", 1000), 1000);
}

// Found by fuzzing: a file whose last line ends in a lone CR. The reader splits at LF only, so a
// key or section appended after that CR ran on from the last line and was lost with it.
TEST(IniFault, KeyWrittenAfterALastLineEndedByALoneCrReadsBackAndKeepsThatLine) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(), "[zh]\r\nPageIndex=1\r");
  ini.writeInteger("zh", "PageHight", 200);
  EXPECT_EQ(ini.readInteger("zh", "PageHight", 186), 200);
  EXPECT_EQ(ini.readInteger("zh", "PageIndex", 0), 1);
}

TEST(IniFault, SectionWrittenAfterALastLineEndedByALoneCrReadsBackAndKeepsThatLine) {
  TempDir dir;
  const IniFile ini(dir.file("comset.ini"));
  WriteAll(ini.path(), "[ComSet]\r\nStyle=2\r");
  ini.writeString("dbw", "content", "01 02");
  EXPECT_EQ(ini.readString("dbw", "content", ""), "01 02");
  EXPECT_EQ(ini.readInteger("ComSet", "Style", 0), 2);
}

}  // namespace
