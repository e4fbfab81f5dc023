#pragma once
// The input/output error of the message-list files, named the way the user is used to:
// "File not found", "Invalid filename", "Too many open files", "File access denied",
// "Disk full", or "I/O error <errno>" for anything else.

#include <QString>
#include <stdexcept>

#include "platform/system_error.h"

namespace store {

class FileIoError : public std::runtime_error {
 public:
  explicit FileIoError(const platform::SystemError& error);
  int code() const { return code_; }

 private:
  int code_;
};

QString FileIoMessage(int errnoCode);

}  // namespace store
