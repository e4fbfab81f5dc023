#pragma once
// Appending to a file that grows and is never replaced (a recording of the traffic log): open
// for appending, created when missing; write a whole buffer; flush what was written to the
// disk. Failures are values built by errorFromErrno right after the failing call.
//
// Thread safety: works on descriptors the caller owns, from any thread.

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

struct AppendOpenResult {
  UniqueFd fd;      // valid unless error is set
  qint64 size = 0;  // bytes the file held when opened
  std::optional<SystemError> error;
};
// Opens the file for appending (O_APPEND), creating it with 0666 less the umask when missing.
AppendOpenResult openForAppend(const QString& path);

struct WriteAllResult {
  qsizetype written = 0;  // bytes written before the failure, all of them without one
  std::optional<SystemError> error;
};
// Writes every byte, going on after short writes and interruptions.
WriteAllResult writeAll(int fd, QByteArrayView content);

// fdatasync: what was written reaches the disk. Descriptors that cannot be synchronised (a pipe,
// a terminal, /dev/null) have nothing to flush: that counts as done.
std::optional<SystemError> syncData(int fd);

}  // namespace platform
