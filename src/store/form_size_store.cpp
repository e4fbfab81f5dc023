#include "store/form_size_store.h"

#include "store/ini_file.h"

namespace store {

QSize ReadFormSize(const AppFiles& files, const QString& section, QSize current) {
  const IniFile ini(files.formSizeIni());
  return QSize(ini.readInteger(section, QStringLiteral("width"), current.width()),
               ini.readInteger(section, QStringLiteral("height"), current.height()));
}

void WriteFormSize(const AppFiles& files, const QString& section, QSize size) {
  const IniFile ini(files.formSizeIni());
  ini.writeInteger(section, QStringLiteral("width"), size.width());
  ini.writeInteger(section, QStringLiteral("height"), size.height());
}

}  // namespace store
