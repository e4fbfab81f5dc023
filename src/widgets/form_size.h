#pragma once
// Restores and stores a window's size through FromSizeInfo.ini. The size stored is the window's
// outer size, its frame included where the platform reports one; the window opens centred on
// the desktop's available area with that outer size (its inner size raised to its minimum).

#include <QString>

#include "store/app_files.h"

class QWidget;

namespace widgets {

// Call before the window is first shown; `section` is the window's name, e.g. "frmZh".
void RestoreFormSize(QWidget& window, const store::AppFiles& files, const QString& section);

// Stores nothing while the window is maximised or minimised. Throws IniWriteError.
void StoreFormSize(const QWidget& window, const store::AppFiles& files, const QString& section);

}  // namespace widgets
