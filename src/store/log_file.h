#pragma once
// The saved traffic log: one line of text per log line, each ended by CR LF, in UTF-8.

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace store {

// "Cannot create file "<name>". <reason>": a log file could not be written.
class FileCreateError : public std::runtime_error {
 public:
  FileCreateError(const QString& path, const QString& reason);
};

// Replaces the file at path whole with the lines; throws FileCreateError when it cannot.
void WriteLogFile(const QString& path, const QStringList& lines);

}  // namespace store
