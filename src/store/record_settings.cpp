#include "store/record_settings.h"

#include "store/ini_file.h"

namespace store {
namespace {

const QString kSection = QStringLiteral("Record");
const QString kEnabled = QStringLiteral("Enabled");
const QString kFile = QStringLiteral("File");

}  // namespace

RecordSettings RecordSettings::load(const AppFiles& files) {
  const IniFile ini(files.comsetIni());
  return {ini.readBool(kSection, kEnabled, false), ini.readString(kSection, kFile, QString())};
}

void RecordSettings::save(const AppFiles& files) const {
  const IniFile ini(files.comsetIni());
  ini.writeString(kSection, kFile, file);
  ini.writeBool(kSection, kEnabled, enabled);
}

}  // namespace store
