#include <gtest/gtest.h>
#include <poll.h>

#include <QDir>
#include <QFile>

#include "platform/device_node_watch_linux.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace {

using testing_support::PtyPair;
using testing_support::TempDir;

// True when the watch's descriptor became readable within `ms`.
bool Changed(const platform::DeviceNodeWatch& watch, int ms = 5000) {
  pollfd fd{watch.fd(), POLLIN, 0};
  return ::poll(&fd, 1, ms) == 1;
}

// The name as udev lays it out: serial/by-id/<name> -> ../../ttyHop -> /dev/pts/N.
TEST(DeviceNodeWatch, FollowsTheNameThroughItsLinksAndThroughARemovedDirectory) {
  TempDir dir;
  const QString byId = dir.file("serial/by-id");
  const QString name = byId + "/usb-adapter-if00";
  const QString hop = dir.file("ttyHop");
  auto pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(QDir().mkpath(byId));
  ASSERT_TRUE(QFile::link(pty->slavePath(), hop));
  ASSERT_TRUE(QFile::link("../../ttyHop", name));
  std::optional<platform::DeviceNodeWatch> watch = platform::DeviceNodeWatch::create(name);
  ASSERT_TRUE(watch);
  EXPECT_TRUE(watch->present());

  // The device goes and comes back as another pty: the link at the end of the chain is made
  // anew in a directory of its own, which is watched as the chain leads there.
  pty.reset();
  ASSERT_TRUE(QFile::remove(hop));
  watch->update();
  EXPECT_FALSE(watch->present());
  pty = std::make_unique<PtyPair>();
  watch->update();  // whatever the new pty's node told
  ASSERT_TRUE(QFile::link(pty->slavePath(), hop));
  EXPECT_TRUE(Changed(*watch));
  watch->update();
  EXPECT_TRUE(watch->present());

  // The by-id directory goes with its last link; its parent is watched until it is back.
  ASSERT_TRUE(QFile::remove(name));
  ASSERT_TRUE(QDir(dir.file("serial")).removeRecursively());
  EXPECT_TRUE(Changed(*watch));
  watch->update();
  EXPECT_FALSE(watch->present());
  // The kernel may report the end of a watch given up (on /dev/pts) a little later, once.
  if (Changed(*watch, 100)) watch->update();
  EXPECT_FALSE(Changed(*watch, 200)) << "nothing changed, nothing to tell";
  ASSERT_TRUE(QDir().mkpath(byId));
  EXPECT_TRUE(Changed(*watch));
  watch->update();
  EXPECT_FALSE(watch->present());
  ASSERT_TRUE(QFile::link("../../ttyHop", name));
  EXPECT_TRUE(Changed(*watch));
  watch->update();
  EXPECT_TRUE(watch->present());

  // A name that is no device does not count.
  ASSERT_TRUE(QFile::remove(hop));
  testing_support::WriteAll(hop, "not a device");
  watch->update();
  EXPECT_FALSE(watch->present());
}

}  // namespace
