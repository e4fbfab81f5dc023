// The system side of choosing where files go. Writability is checked against a real attempt to
// create a file, by the test's own user and, when that is root (for whom mode bits stop
// nothing), by a child that has become "nobody".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "platform/user_dirs_xdg.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

constexpr uid_t kNobody = 65534;

bool canCreateFileIn(const QString& dir) {
  const QByteArray name = QFile::encodeName(dir + "/probe");
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(name.constData());
  return true;
}

// "answer/real" for each directory, from this process and from one running as nobody.
QByteArray answersAndRealOutcomes(const QStringList& dirs) {
  QByteArray line;
  for (const QString& d : dirs) {
    line += platform::directoryWritable(d) ? "yes/" : "no/";
    line += canCreateFileIn(d) ? "yes " : "no ";
  }
  return line;
}

TEST(UserDirs, WritabilityIsAnsweredAsARealWriteWouldGo) {
  TempDir dir;
  const QString open = dir.file("open");
  const QString closed = dir.file("closed");
  QDir().mkpath(open);
  QDir().mkpath(closed);
  ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
  ::chmod(QFile::encodeName(open).constData(), 0777);
  ::chmod(QFile::encodeName(closed).constData(), 0555);
  const QStringList dirs{open, closed, dir.file("missing")};

  const QByteArray own = answersAndRealOutcomes(dirs);
  EXPECT_EQ(own, ::geteuid() == 0 ? "yes/yes yes/yes no/no " : "yes/yes no/no no/no ");

  const auto child = testing_support::RunInChild([&](int reportFd) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 3;
    testing_support::Report(reportFd, answersAndRealOutcomes(dirs));
    return 0;
  });
  ASSERT_TRUE(child.exitedWith(0));
  EXPECT_EQ(child.reported, "yes/yes no/no no/no ");
}

TEST(UserDirs, XdgDirectoriesComeFromTheEnvironmentUnlessUnsetEmptyOrRelative) {
  const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
  const QByteArray savedData = qgetenv("XDG_DATA_HOME");
  const QString home = QDir::homePath();

  qputenv("XDG_CONFIG_HOME", "/srv/cfg/");
  qputenv("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(platform::xdgConfigHome(), "/srv/cfg");
  EXPECT_EQ(platform::xdgDataHome(), "/srv/data");
  qputenv("XDG_CONFIG_HOME", "relative/cfg");
  qputenv("XDG_DATA_HOME", "");
  EXPECT_EQ(platform::xdgConfigHome(), home + "/.config");
  EXPECT_EQ(platform::xdgDataHome(), home + "/.local/share");
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_DATA_HOME");
  EXPECT_EQ(platform::xdgConfigHome(), home + "/.config");
  EXPECT_EQ(platform::xdgDataHome(), home + "/.local/share");

  savedConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", savedConfig);
  savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
}

TEST(UserDirs, MakeDirectoriesCreatesPrivateParentsAcceptsAnExistingOneAndReportsAFileInTheWay) {
  TempDir dir;
  const QString deep = dir.file("a/b/OruvoTarvix");
  EXPECT_EQ(platform::makeDirectories(deep), std::nullopt);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(dir.file("a")).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(QFileInfo(deep).isDir());
  EXPECT_EQ(platform::makeDirectories(deep), std::nullopt);

  testing_support::WriteAll(dir.file("file"), "x");
  const auto below = platform::makeDirectories(dir.file("file/sub"));
  ASSERT_TRUE(below.has_value());
  EXPECT_EQ(below->code, ENOTDIR);
  const auto itself = platform::makeDirectories(dir.file("file"));
  ASSERT_TRUE(itself.has_value());
  EXPECT_EQ(itself->code, ENOTDIR);
}

}  // namespace
