#include "platform/serial_ports_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace platform {
namespace {

// The serial core's "type" attribute: 0 is PORT_UNKNOWN, no UART found at that address.
bool hasRealUart(const QString& ttyDir) {
  QFile typeFile(ttyDir + QStringLiteral("/type"));
  if (!typeFile.exists()) return true;  // not a serial-core port: a USB or modem device
  if (!typeFile.open(QIODevice::ReadOnly)) return false;
  bool ok = false;
  const int type = typeFile.readAll().trimmed().toInt(&ok);
  return ok && type != 0;
}

// Splits "ttyUSB10" into "ttyUSB" and 10 so that ports sort in their natural order.
std::pair<QString, qlonglong> sortKey(const QString& name) {
  qsizetype digitsStart = name.size();
  while (digitsStart > 0 && name.at(digitsStart - 1).isDigit()) --digitsStart;
  return {name.left(digitsStart), name.mid(digitsStart).toLongLong()};
}

}  // namespace

QStringList ListSerialPorts(const QString& sysfsRoot) {
  const QDir ttyClass(sysfsRoot + QStringLiteral("/class/tty"));
  QStringList ports;
  for (const QString& name : ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString ttyDir = ttyClass.filePath(name);
    if (!QFileInfo::exists(ttyDir + QStringLiteral("/device"))) continue;
    if (hasRealUart(ttyDir)) ports.append(name);
  }
  std::sort(ports.begin(), ports.end(),
            [](const QString& a, const QString& b) { return sortKey(a) < sortKey(b); });
  return ports;
}

}  // namespace platform
