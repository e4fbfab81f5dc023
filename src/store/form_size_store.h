#pragma once
// Window sizes kept between runs in FromSizeInfo.ini: one section per window, named after the
// window, with the keys "width" and "height" (the outer size, frame included). Positions are not
// stored.

#include <QSize>
#include <QString>

#include "store/app_files.h"

namespace store {

// The stored size; each missing or unreadable value is taken from `current`.
QSize ReadFormSize(const AppFiles& files, const QString& section, QSize current);

// Throws IniWriteError when the file cannot be written.
void WriteFormSize(const AppFiles& files, const QString& section, QSize size);

}  // namespace store
