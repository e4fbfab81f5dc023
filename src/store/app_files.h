#pragma once
// Where the program's files live. Everything sits in one directory, beside the executable:
// the configuration, the window sizes, the default message list and the log saved at close.
// Tests point it at a temporary directory.

#include <QString>

namespace store {

struct AppFiles {
  QString dir;  // without a trailing separator

  QString comsetIni() const { return dir + QStringLiteral("/comset.ini"); }
  QString formSizeIni() const { return dir + QStringLiteral("/FromSizeInfo.ini"); }
  QString defaultSendFile() const { return dir + QStringLiteral("/default.sen"); }
  QString defaultLogFile() const { return dir + QStringLiteral("/default.txt"); }

  // The directory of the running executable.
  static AppFiles besideExecutable();
};

}  // namespace store
