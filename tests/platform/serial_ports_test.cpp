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

}  // namespace
