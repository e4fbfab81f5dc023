#include "store/log_file.h"

#include "platform/file_replace_posix.h"

namespace store {

FileCreateError::FileCreateError(const QString& path, const QString& reason)
    : std::runtime_error(
          QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason).toStdString()) {}

QByteArray LogFileBytes(const QStringList& lines) {
  QByteArray content;
  for (const QString& line : lines) content += line.toUtf8() + "\r\n";
  return content;
}

void WriteLogFile(const QString& path, const QStringList& lines) {
  if (const auto failure = platform::replaceFileWhole(path, LogFileBytes(lines))) {
    throw FileCreateError(path, failure->text);
  }
}

}  // namespace store
