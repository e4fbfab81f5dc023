#pragma once
// The serial ports that exist on this machine, as names the serial engine opens: bare device
// names such as "ttyS0" or "ttyUSB0" (the engine opens a bare name as /dev/<name>).
// The list comes from sysfs: every entry of <root>/class/tty that has a device behind it is a
// candidate; one whose UART type is reported (the serial core's ports: ttyS, ttyAMA, ...)
// counts only when that type is not 0, the placeholder the 8250 driver registers for every
// possible port whether or not a UART answers. USB and other ports without a type count as
// they are. Virtual consoles and pseudo terminals have no device and never appear.

#include <QString>
#include <QStringList>

namespace platform {

// Sorted by name, numbers in names compared as numbers ("ttyS2" before "ttyS10"). An
// unreadable or missing tree gives an empty list.
QStringList ListSerialPorts(const QString& sysfsRoot = QStringLiteral("/sys"));

}  // namespace platform
