#pragma once
// The texts of the About box's machine facts, built from given figures so they can be checked
// without the machine: the system text, the memory text and the frequency text.

#include <QLocale>
#include <QString>
#include <cstdint>

#include "platform/sysinfo_linux.h"

namespace dialogs {

// "Linux 6.1 (Build 0: Debian GNU/Linux 12 (bookworm))", or without ": detail" when the
// distribution is unknown.
QString SystemText(const platform::SystemVersion& version);

// The total physical memory in KB (bytes / 1024, rounded down), digits grouped in threes with
// the locale's group separator, then " KB". The full 64-bit figure is shown.
QString MemoryText(std::uint64_t totalBytes, const QLocale& locale = QLocale());

// Fixed notation with two decimals, then " MHz": "2394.46 MHz".
QString FrequencyText(double mhz);

}  // namespace dialogs
