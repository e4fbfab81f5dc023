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

QString attribute(const QString& directory, const char* name) {
  QFile file(directory + QLatin1Char('/') + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.read(256)).trimmed();
}

// The tty's device is a USB interface (ttyACM) or a port below one (ttyUSB); the USB device,
// which holds idVendor, product and manufacturer, is one or two levels up. Going no further
// keeps a hub's or host controller's strings out.
QString describeTty(const QString& ttyDir) {
  QString directory = QFileInfo(ttyDir + QStringLiteral("/device")).canonicalFilePath();
  QString interface;
  for (int level = 0; level < 3 && !directory.isEmpty(); ++level) {
    if (QFileInfo::exists(directory + QStringLiteral("/idVendor"))) {
      const QString product = attribute(directory, "product");
      const QString manufacturer = attribute(directory, "manufacturer");
      QString name = product;
      if (!manufacturer.isEmpty() && !product.contains(manufacturer, Qt::CaseInsensitive))
        name = product.isEmpty() ? manufacturer : manufacturer + QLatin1Char(' ') + product;
      // A multi-port adapter tells its ports apart by their interfaces' names.
      if (interface.isEmpty() || interface == product) return name;
      return name.isEmpty() ? interface : name + QStringLiteral(" (") + interface + QLatin1Char(')');
    }
    if (interface.isEmpty()) interface = attribute(directory, "interface");
    directory = QFileInfo(directory).path();
  }
  return QString();
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

std::vector<SerialPortEntry> DescribeSerialPorts(const QString& sysfsRoot, const QString& devRoot) {
  const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
  const QFileInfoList links = byId.entryInfoList(QDir::System | QDir::Files, QDir::Name);
  std::vector<SerialPortEntry> entries;
  for (const QString& name : ListSerialPorts(sysfsRoot)) {
    const QString description = describeTty(sysfsRoot + QStringLiteral("/class/tty/") + name);
    entries.push_back({devRoot + QLatin1Char('/') + name, description});
    for (const QFileInfo& link : links) {
      if (link.isSymLink() && QFileInfo(link.symLinkTarget()).fileName() == name)
        entries.push_back({link.filePath(), description});
    }
  }
  return entries;
}

}  // namespace platform
