#pragma once
// The saved traffic log: one line of text per log line, each ended by CR LF, in UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace store {

// "Cannot create file "<name>". <reason>": a log file could not be written.
class FileCreateError : public std::runtime_error {
 public:
  FileCreateError(const QString& path, const QString& reason);
};

// The bytes a log file holds for the lines: each in UTF-8, ended by CR LF.
QByteArray LogFileBytes(const QStringList& lines);

// Replaces the file at path whole with the lines; throws FileCreateError when it cannot.
void WriteLogFile(const QString& path, const QStringList& lines);

}  // namespace store
