#pragma once
// Waits, without polling, for a device node to appear under a name: an inotify descriptor that
// becomes readable when something is created, moved in or changes its attributes in the
// directories the name goes through. The name may be a symbolic link (the stable names under
// /dev/serial/by-id/ are) or a chain of them: the name's own directory, or its nearest existing
// ancestor while that directory is gone (udev removes an emptied by-id directory), is watched,
// and so is the directory of each link target as far as the chain resolves now. The name is
// followed, never the node it pointed to before. Unrelated changes in those directories also
// make the descriptor readable; present() tells whether the name resolves to a device now.
//
// Thread safety: one owner thread; the owner waits on fd() (a QSocketNotifier above).

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

class DeviceNodeWatch {
 public:
  // Watches the directories `path` goes through as they are now; nothing without inotify.
  static std::optional<DeviceNodeWatch> create(const QString& path, SystemError* error = nullptr);

  // Readable when a watched directory changed.
  int fd() const { return fd_.get(); }
  // Takes what changed and aims the watches at the directories the name goes through now.
  void update();
  // The name resolves, through its links, to a character device.
  bool present() const;

 private:
  DeviceNodeWatch(UniqueFd fd, QByteArray path) : fd_(std::move(fd)), path_(std::move(path)) {}
  void aim();
  void drain();

  UniqueFd fd_;
  QByteArray path_;
  std::vector<int> watches_;
};

}  // namespace platform
