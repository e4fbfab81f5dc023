#pragma once
// What the choice of the program's file locations asks of the system: whether a directory can
// be written to, the user's XDG base directories, and creating a directory with its parents.

#include <QString>
#include <optional>

#include "platform/system_error.h"

namespace platform {

// Whether this process may create files in `dir`, by access(2) with W_OK: mode bits and a
// read-only filesystem count; for root only the latter refuses, as it does the real writes.
bool directoryWritable(const QString& dir);

// $XDG_CONFIG_HOME and $XDG_DATA_HOME; ~/.config and ~/.local/share when they are unset,
// empty or relative, which the XDG base directory rules say to ignore.
QString xdgConfigHome();
QString xdgDataHome();

// Creates `dir` and any missing parents, new ones private to the user (0700); nothing when it
// already is a directory.
std::optional<SystemError> makeDirectories(const QString& dir);

}  // namespace platform
