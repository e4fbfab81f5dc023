#pragma once
// The serial ports that exist on this machine, as names the serial engine opens: bare device
// names such as "ttyS0" or "ttyUSB0" (the engine opens a bare name as /dev/<name>).
// The list comes from sysfs: every entry of <root>/class/tty that has a device behind it is a
// candidate; one whose UART type is reported (the serial core's ports: ttyS, ttyAMA, ...)
// counts only when that type is not 0, the placeholder the 8250 driver registers for every
// possible port whether or not a UART answers. USB and other ports without a type count as
// they are. Virtual consoles and pseudo terminals have no device and never appear.
// DescribeSerialPorts gives the same ports as device paths, each followed by its stable names
// under <dev>/serial/by-id/ (links udev makes for USB devices), with what sysfs says of the
// device: its manufacturer and product, and the USB interface's name where the device gives one
// ("FTDI Quad RS232-HS (Port B)"). Ports without USB behind them have no description.

#include <QString>
#include <QStringList>
#include <vector>

namespace platform {

// Sorted by name, numbers in names compared as numbers ("ttyS2" before "ttyS10"). An
// unreadable or missing tree gives an empty list.
QStringList ListSerialPorts(const QString& sysfsRoot = QStringLiteral("/sys"));

struct SerialPortEntry {
  QString path;         // "/dev/ttyUSB0", or a link to it such as "/dev/serial/by-id/usb-..."
  QString description;  // "CH340 serial converter"; empty when sysfs tells nothing
};
std::vector<SerialPortEntry> DescribeSerialPorts(const QString& sysfsRoot = QStringLiteral("/sys"),
                                                 const QString& devRoot = QStringLiteral("/dev"));

}  // namespace platform
