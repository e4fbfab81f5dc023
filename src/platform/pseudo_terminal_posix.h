#pragma once
// A pseudo-terminal pair for tests, benchmarks and loopback: the master descriptor
// (non-blocking, raw by default) and the path of the slave, which openSerialDevice opens like
// any serial port. The slave is not opened here; closing the master hangs the slave up, the way
// pulling a USB adapter does.

#include <QString>
#include <optional>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace platform {

struct PseudoTerminal {
  UniqueFd master;
  QString slavePath;
};
std::optional<PseudoTerminal> openPseudoTerminal(SystemError* error = nullptr);

}  // namespace platform
