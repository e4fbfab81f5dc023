#include "platform/locale_charset_posix.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>

namespace platform {
namespace {

// The environment's name for the locale of character types, by POSIX precedence.
QByteArray CharacterTypeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return {};
}

// "language_TERRITORY.codeset@modifier" -> "codeset".
QString CodesetOfName(const QByteArray& name) {
  const qsizetype dot = name.indexOf('.');
  if (dot < 0) return {};
  const qsizetype at = name.indexOf('@', dot);
  return QString::fromLatin1(name.sliced(dot + 1, (at < 0 ? name.size() : at) - dot - 1));
}

}  // namespace

QString LocaleCharset() {
  // A locale object of its own: the process's locale (which Qt may have set) stays as it is.
  if (const locale_t loaded = newlocale(LC_CTYPE_MASK, "", locale_t(0))) {
    const QString codeset = QString::fromLatin1(nl_langinfo_l(CODESET, loaded));
    freelocale(loaded);
    return codeset;
  }
  return CodesetOfName(CharacterTypeLocaleName());
}

}  // namespace platform
