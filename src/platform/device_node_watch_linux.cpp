#include "platform/device_node_watch_linux.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "platform/retry_on_interrupt.h"

namespace platform {
namespace {

// Creation, a rename into the directory, an attribute change of an entry (udev gives a new node
// its group and mode after creating it) or of the directory itself, and its own end.
constexpr uint32_t kWatchMask =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Links followed at most, as the kernel's own limit for a path.
constexpr int kMostLinks = 40;

QByteArray parentOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash <= 0 ? QByteArray("/") : path.left(slash);
}

}  // namespace

std::optional<DeviceNodeWatch> DeviceNodeWatch::create(const QString& path, SystemError* error) {
  UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd.valid()) {
    if (error) *error = errorFromErrno();
    return std::nullopt;
  }
  DeviceNodeWatch watch(std::move(fd), QFile::encodeName(QFileInfo(path).absoluteFilePath()));
  watch.aim();
  return watch;
}

void DeviceNodeWatch::update() {
  drain();
  aim();
}

void DeviceNodeWatch::drain() {
  alignas(inotify_event) char events[4096];
  while (retryOnInterrupt([&] { return ::read(fd_.get(), events, sizeof events); }) > 0) {
  }
}

bool DeviceNodeWatch::present() const {
  struct stat st {};
  return ::stat(path_.constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

void DeviceNodeWatch::aim() {
  // Watching a directory already watched gives its descriptor again: the watches still wanted
  // stay in place throughout, so no change between two looks goes unseen.
  std::vector<int> aimed;
  QByteArray name = path_;
  for (int link = 0; link <= kMostLinks; ++link) {
    const QByteArray directory = parentOf(name);
    QByteArray watched = directory;
    int wd = -1;
    for (;;) {
      wd = ::inotify_add_watch(fd_.get(), watched.constData(), kWatchMask);
      if (wd >= 0 || watched == "/") break;
      watched = parentOf(watched);
    }
    if (wd >= 0) aimed.push_back(wd);
    if (wd < 0 || watched != directory) break;  // the rest of the chain does not exist yet
    char target[4096];
    const ssize_t length = ::readlink(name.constData(), target, sizeof target);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) break;  // not a link
    const QByteArray resolved(target, length);
    name = QFile::encodeName(QDir::cleanPath(
        QFile::decodeName(resolved.startsWith('/') ? resolved : directory + '/' + resolved)));
  }
  // A watch given up reports its own end (IN_IGNORED) a little later: one wake-up more.
  for (const int wd : watches_) {
    if (std::find(aimed.begin(), aimed.end(), wd) == aimed.end()) ::inotify_rm_watch(fd_.get(), wd);
  }
  watches_ = std::move(aimed);
}

}  // namespace platform
