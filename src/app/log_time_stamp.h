#pragma once
// The time stamp of a log line, the local time of day as "hh:mm:ss:zzz". Asking the system for
// the local time costs a time-zone lookup (a file check) each time; a stream stamps hundreds of
// lines a second. Time zones change their offset only on whole seconds, so the offset from UTC
// is looked up once for each second a stamp falls in and the rest is arithmetic. GUI thread only.

#include <QString>
#include <QtGlobal>

namespace app {

// The stamp of now.
QString LogTimeStamp();
// The stamp of a moment, in milliseconds since the epoch.
QString LogTimeStampAt(qint64 msecsSinceEpoch);

}  // namespace app
