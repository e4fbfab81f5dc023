#include "platform/pseudo_terminal_posix.h"

#include <fcntl.h>
#include <stdlib.h>

namespace platform {

std::optional<PseudoTerminal> openPseudoTerminal(SystemError* error) {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  char name[128];
  if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
      ::ptsname_r(master.get(), name, sizeof name) != 0) {
    if (error) *error = errorFromErrno();
    return std::nullopt;
  }
  return PseudoTerminal{std::move(master), QString::fromLocal8Bit(name)};
}

}  // namespace platform
