#include "app/log_time_stamp.h"

#include <QDateTime>
#include <limits>

namespace app {

namespace {

constexpr qint64 kMsPerDay = 24 * 60 * 60 * 1000;

qint64 floorDivide(qint64 value, qint64 divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

void putDigits(QChar*& out, int value, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = QChar(u'0' + value % 10);
    value /= 10;
  }
  out += digits;
}

}  // namespace

QString LogTimeStampAt(qint64 msecsSinceEpoch) {
  // The offset of the second last stamped; any other second is looked up again.
  static qint64 offsetSecond = std::numeric_limits<qint64>::min();
  static qint64 offsetMs = 0;
  const qint64 second = floorDivide(msecsSinceEpoch, 1000);
  if (second != offsetSecond) {
    offsetSecond = second;
    offsetMs = QDateTime::fromMSecsSinceEpoch(second * 1000).offsetFromUtc() * qint64(1000);
  }
  const qint64 ofDay =
      msecsSinceEpoch + offsetMs - floorDivide(msecsSinceEpoch + offsetMs, kMsPerDay) * kMsPerDay;
  QString stamp(12, u':');
  QChar* out = stamp.data();
  putDigits(out, static_cast<int>(ofDay / 3'600'000), 2);
  ++out;
  putDigits(out, static_cast<int>(ofDay / 60'000 % 60), 2);
  ++out;
  putDigits(out, static_cast<int>(ofDay / 1000 % 60), 2);
  ++out;
  putDigits(out, static_cast<int>(ofDay % 1000), 3);
  return stamp;
}

QString LogTimeStamp() { return LogTimeStampAt(QDateTime::currentMSecsSinceEpoch()); }

}  // namespace app
