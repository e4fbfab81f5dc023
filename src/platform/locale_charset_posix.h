#pragma once
// The character set of the user's locale, as the C library names it ("UTF-8", "GBK",
// "GB18030", "ANSI_X3.4-1968" for the C locale, ...). Read afresh on every call; changes
// nothing in the process's own locale. Any thread.

#include <QString>

namespace platform {

// The codeset of the locale the environment names for character types (LC_ALL, else
// LC_CTYPE, else LANG). A locale that is not installed still names its codeset: "zh_CN.GBK"
// gives "GBK" (the user asked for GBK even where the C library cannot load it). Empty when
// nothing names one.
QString LocaleCharset();

}  // namespace platform
