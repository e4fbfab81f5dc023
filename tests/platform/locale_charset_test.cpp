#include <gtest/gtest.h>

#include "platform/locale_charset_posix.h"
#include "support/scoped_env.h"

using testing_support::ScopedEnv;

TEST(LocaleCharset, NamesTheCodesetOfTheCharacterTypeLocaleInstalledOrNot) {
  ScopedEnv all("LC_ALL", "C.UTF-8");
  ScopedEnv types("LC_CTYPE", "zh_CN.GBK");
  ScopedEnv lang("LANG", "zh_CN.GB18030@stroke");
  EXPECT_EQ(platform::LocaleCharset(), "UTF-8");  // an installed locale, asked of the C library
  qputenv("LC_ALL", "C");
  EXPECT_EQ(platform::LocaleCharset(), "ANSI_X3.4-1968");

  // LC_ALL first, then LC_CTYPE, then LANG; a locale this system lacks still names its codeset.
  qputenv("LC_ALL", "");
  EXPECT_EQ(platform::LocaleCharset(), "GBK");
  qunsetenv("LC_CTYPE");
  EXPECT_EQ(platform::LocaleCharset(), "GB18030");
  qputenv("LANG", "xx_YY");
  EXPECT_EQ(platform::LocaleCharset(), "");
}
