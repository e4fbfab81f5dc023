#pragma once
// The line settings of a serial device: applyLineSettings puts the line in raw mode without flow
// control, applies the requested settings through termios2 (a rate termios names as its
// B-constant, any other rate the driver takes with BOTHER) and reads back what the driver kept:
// drivers adjust silently (a pty forces 8 data bits and no parity), and what the user sees must
// be what the line does.
//
// Thread safety: works on a descriptor the caller owns, from any thread; the kernel allows the
// settings to change while other threads read and write the device.

#include <cstdint>
#include <optional>

#include "platform/system_error.h"

namespace platform {

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

// Line settings as asked for and, read back, as the driver keeps them. A requested field outside
// its range (dataBits not 5..8, baudRate 0, an enumerator beyond the list) is not applied: the
// driver keeps its present value for it, without an error.
struct SerialLineSettings {
  uint32_t baudRate = 9600;
  int dataBits = 8;
  SerialParity parity = SerialParity::None;
  SerialStopBits stopBits = SerialStopBits::One;
  bool parityCheck = false;  // verify parity on input (a byte failing it reads as 0)
  friend bool operator==(const SerialLineSettings&, const SerialLineSettings&) = default;
};

// Raw mode, receiver on, modem-control lines ignored, no hardware or software flow control, then
// the requested settings; returns what the driver kept. When the device refuses the change as a
// whole the returned value is its unchanged state; when the settings cannot even be read
// (no terminal) it has baudRate 0 and `error`, when given, says why.
SerialLineSettings applyLineSettings(int fd, const SerialLineSettings& wanted,
                                     std::optional<SystemError>* error = nullptr);
std::optional<SerialLineSettings> readLineSettings(int fd);

}  // namespace platform
