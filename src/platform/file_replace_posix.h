#pragma once
// Replaces a file whole or not at all: the content goes to a temporary file beside the target,
// is flushed to disk and then renamed over the target, so a failure or a crash never leaves a
// truncated file. The temporary file is removed when anything fails.

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "platform/system_error.h"

namespace platform {

// Returns the failure, or nothing when the file now holds exactly `content`.
std::optional<SystemError> replaceFileWhole(const QString& path, QByteArrayView content);

// Creates an empty file when none exists under the name; nothing when it exists.
std::optional<SystemError> createFileIfMissing(const QString& path);

}  // namespace platform
