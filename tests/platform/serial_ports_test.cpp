#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/serial_ports_linux.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteAll;

// Builds <root>/class/tty/<name> the way sysfs shows it: a device entry for ports with
// hardware behind them, and a "type" file for the serial core's ports.
class FakeSysfs {
 public:
  QString root() const { return dir_.path(); }

  void addTty(const QString& name, bool withDevice, const char* uartType = nullptr) {
    const QString ttyDir = dir_.file(QStringLiteral("class/tty/") + name);
    QDir().mkpath(ttyDir);
    if (withDevice) QDir().mkpath(ttyDir + QStringLiteral("/device"));
    if (uartType) WriteAll(ttyDir + QStringLiteral("/type"), uartType);
  }
  // As on a real system: the class entry is a link into the device tree, and so is device.
  void addLinkedTty(const QString& name) {
    const QString target = dir_.file(QStringLiteral("devices/usb1/") + name);
    QDir().mkpath(target + QStringLiteral("/real-device"));
    QFile::link(target + QStringLiteral("/real-device"), target + QStringLiteral("/device"));
    QDir().mkpath(dir_.file(QStringLiteral("class/tty")));
    QFile::link(target, dir_.file(QStringLiteral("class/tty/") + name));
  }

 private:
  TempDir dir_;
};

TEST(ListSerialPorts, ListsPortsWithHardwareInNaturalOrderAndSkipsPlaceholdersAndConsoles) {
  FakeSysfs sysfs;
  sysfs.addTty(QStringLiteral("ttyS0"), true, "4\n");
  sysfs.addTty(QStringLiteral("ttyS1"), true, "0\n");  // the 8250 placeholder, no UART
  sysfs.addTty(QStringLiteral("ttyS2"), true, "4\n");
  sysfs.addTty(QStringLiteral("ttyS10"), true, "4\n");
  sysfs.addTty(QStringLiteral("ttyAMA0"), true, "0\n");
  sysfs.addTty(QStringLiteral("ttyACM0"), true);
  sysfs.addTty(QStringLiteral("tty0"), false);
  sysfs.addTty(QStringLiteral("ptmx"), false);
  sysfs.addTty(QStringLiteral("console"), false);
  sysfs.addLinkedTty(QStringLiteral("ttyUSB0"));

  EXPECT_EQ(platform::ListSerialPorts(sysfs.root()),
            (QStringList{"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0"}));
}

TEST(ListSerialPorts, TreatsAnUnreadableOrGarbledUartTypeAsNoUart) {
  FakeSysfs sysfs;
  sysfs.addTty(QStringLiteral("ttyS0"), true, "unknown");
  sysfs.addTty(QStringLiteral("ttyS3"), true, "");
  EXPECT_TRUE(platform::ListSerialPorts(sysfs.root()).isEmpty());
}

TEST(ListSerialPorts, GivesAnEmptyListWhenTheTreeIsMissing) {
  TempDir dir;
  EXPECT_TRUE(platform::ListSerialPorts(dir.file(QStringLiteral("no-such-sysfs"))).isEmpty());
}

// A usb-serial port: the tty's device is the port, below the USB interface (which may name
// itself), below the USB device.
TEST(DescribeSerialPorts, NamesEachPortByItsInterfaceOrProductAndAddsItsStableNames) {
  TempDir sysfs;
  TempDir dev;
  const QString adapter = sysfs.file("devices/usb1/1-1");
  const QString port = adapter + "/1-1:1.0/ttyUSB0";
  QDir().mkpath(port);
  WriteAll(adapter + "/idVendor", "1a86\n");
  WriteAll(adapter + "/product", "USB Serial\n");
  QDir().mkpath(sysfs.file("class/tty/ttyUSB0"));
  QFile::link(port, sysfs.file("class/tty/ttyUSB0/device"));
  const QString quad = sysfs.file("devices/usb1/1-3");
  QDir().mkpath(quad + "/1-3:1.1/ttyUSB1");
  WriteAll(quad + "/idVendor", "0403\n");
  WriteAll(quad + "/product", "Quad RS232-HS\n");
  WriteAll(quad + "/manufacturer", "FTDI\n");
  WriteAll(quad + "/1-3:1.1/interface", "Port B\n");
  QDir().mkpath(sysfs.file("class/tty/ttyUSB1"));
  QFile::link(quad + "/1-3:1.1/ttyUSB1", sysfs.file("class/tty/ttyUSB1/device"));
  QDir().mkpath(sysfs.file("class/tty/ttyS0/device"));
  WriteAll(sysfs.file("class/tty/ttyS0/type"), "4\n");
  QDir().mkpath(dev.file("serial/by-id"));
  QFile::link("../../ttyUSB0", dev.file("serial/by-id/usb-1a86_USB_Serial-if00-port0"));
  QFile::link("../../ttyUSB7", dev.file("serial/by-id/usb-gone-if00-port0"));

  const std::vector<platform::SerialPortEntry> ports =
      platform::DescribeSerialPorts(sysfs.path(), dev.path());
  QStringList seen;
  for (const platform::SerialPortEntry& entry : ports) seen << entry.path + "|" + entry.description;
  EXPECT_EQ(seen,
            (QStringList{dev.file("ttyS0") + "|", dev.file("ttyUSB0") + "|USB Serial",
                         dev.file("serial/by-id/usb-1a86_USB_Serial-if00-port0") + "|USB Serial",
                         dev.file("ttyUSB1") + "|FTDI Quad RS232-HS (Port B)"}));
}

}  // namespace
