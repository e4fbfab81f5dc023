#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

SystemError errorFromErrno() { return errorFromCode(errno); }

SystemError errorFromCode(int code) {
  return SystemError{code, QString::fromLocal8Bit(std::strerror(code))};
}

}  // namespace platform
