#include "dialogs/about_text.h"

namespace dialogs {

QString SystemText(const platform::SystemVersion& version) {
  const QString base = QStringLiteral("%1 %2.%3 (Build %4")
                           .arg(version.name)
                           .arg(version.major)
                           .arg(version.minor)
                           .arg(version.build);
  if (version.detail.isEmpty()) return base + u')';
  return base + QStringLiteral(": ") + version.detail + u')';
}

QString MemoryText(std::uint64_t totalBytes, const QLocale& locale) {
  QLocale grouping = locale;
  // The C locale omits group separators unless told otherwise; the text always groups.
  grouping.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return grouping.toString(static_cast<qulonglong>(totalBytes / 1024)) + QStringLiteral(" KB");
}

QString FrequencyText(double mhz) { return QString::number(mhz, 'f', 2) + QStringLiteral(" MHz"); }

}  // namespace dialogs
