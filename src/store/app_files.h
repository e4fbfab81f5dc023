#pragma once
// Where the program's files live. A copy run from its build tree or from a folder of its own
// keeps everything beside its executable. An installed one (the install step leaves the file
// "installed" beside the executable), or one whose directory cannot be written to, keeps the
// configuration, the window sizes and the message lists in $XDG_CONFIG_HOME/OruvoTarvix and
// the log saved at close in $XDG_DATA_HOME/OruvoTarvix; what is installed beside the
// executable (a default message list, the help file) is read from there while the user has no
// copy of their own. Tests point every directory at a temporary one.

#include <QString>
#include <utility>

namespace store {

struct AppFiles {
  AppFiles() = default;
  // Everything in one directory.
  explicit AppFiles(const QString& oneDir)
      : settingsDir(oneDir), logDir(oneDir), shippedDir(oneDir) {}
  AppFiles(QString settings, QString log, QString shipped)
      : settingsDir(std::move(settings)), logDir(std::move(log)), shippedDir(std::move(shipped)) {}

  // All three without a trailing separator.
  QString settingsDir;  // comset.ini, FromSizeInfo.ini, the message lists
  QString logDir;       // the log saved at close
  QString shippedDir;   // the executable's own directory

  QString comsetIni() const { return settingsDir + QStringLiteral("/comset.ini"); }
  QString formSizeIni() const { return settingsDir + QStringLiteral("/FromSizeInfo.ini"); }
  QString defaultSendFile() const { return settingsDir + QStringLiteral("/default.sen"); }
  QString defaultLogFile() const { return logDir + QStringLiteral("/default.txt"); }
  // The file installed beside the executable under that name.
  QString shippedFile(const QString& name) const { return shippedDir + u'/' + name; }
  // "Tarvixhlp.chm" when the working directory holds it, else the one beside the executable.
  QString helpFile() const;

  // The choice itself, from the executable's directory, whether the files are kept there and
  // the user's XDG configuration and data directories.
  static AppFiles choose(const QString& executableDir, bool keptBesideExecutable,
                         const QString& configHome, const QString& dataHome);
  // Whether a program in `executableDir` keeps its files there: not when it was installed,
  // whoever runs it (root can write into an install tree too), nor where it cannot write.
  static bool keepsFilesBeside(const QString& executableDir);
  // The choice for the running program; the user's directories are created when chosen. A
  // directory that cannot be created shows later, as the failure of the first write into it.
  static AppFiles forRunningProgram();
};

}  // namespace store
