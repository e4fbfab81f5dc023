#pragma once
// Reads a whole file into memory, with the failure as a value (errno captured at once), so the
// layers above can name it exactly.

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/system_error.h"

namespace platform {

// Returns the failure, or nothing when `content` now holds every byte of the file.
std::optional<SystemError> readFileWhole(const QString& path, QByteArray& content);

}  // namespace platform
