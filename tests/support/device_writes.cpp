#include "support/device_writes.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <mutex>

extern "C" ssize_t __real_write(int fd, const void* buffer, size_t count);

namespace {

std::atomic<int> watchedFd{-1};
std::mutex sizesMutex;
std::vector<size_t> sizes;  // guarded by sizesMutex: the serial transmit thread writes too

}  // namespace

extern "C" ssize_t __wrap_write(int fd, const void* buffer, size_t count) {
  if (fd >= 0 && fd == watchedFd.load()) {
    std::lock_guard lock(sizesMutex);
    sizes.push_back(count);
  }
  return __real_write(fd, buffer, count);
}

namespace testing_support {

void WatchWritesTo(int fd) {
  std::lock_guard lock(sizesMutex);
  sizes.clear();
  watchedFd.store(fd);
}

std::vector<size_t> WatchedWriteSizes() {
  std::lock_guard lock(sizesMutex);
  return sizes;
}

int OpenDescriptorFor(const QString& path) {
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& name :
       fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    if (QFileInfo(fds.filePath(name)).symLinkTarget() == path) return name.toInt();
  }
  return -1;
}

}  // namespace testing_support
