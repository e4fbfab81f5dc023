#pragma once
// A temporary directory for one test, removed with it, and small file helpers.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace testing_support {

class TempDir {
 public:
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& content) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content);
}

}  // namespace testing_support
