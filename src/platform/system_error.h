#pragma once
// An operating-system failure captured as a value where it happened: the errno code and the
// system's text for it. errno is read once, at once, by errorFromErrno(); the layers above
// turn these values into the program's exceptions and messages.

#include <QString>

namespace platform {

struct SystemError {
  int code = 0;
  QString text;  // strerror's text for the code
};

// Builds the error from the current errno; call it right after the failing call.
SystemError errorFromErrno();
SystemError errorFromCode(int code);

}  // namespace platform
