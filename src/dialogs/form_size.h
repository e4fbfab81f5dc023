#pragma once
// Restores and stores a window's size through FromSizeInfo.ini. The window opens centred on the
// desktop's available area with its stored size (raised to its minimum size by the window).

#include <QString>

#include "store/app_files.h"

class QWidget;

namespace dialogs {

// Call before the window is first shown; `section` is the window's name, e.g. "frmZh".
void RestoreFormSize(QWidget& window, const store::AppFiles& files, const QString& section);

// Stores nothing while the window is maximised or minimised. Throws IniWriteError.
void StoreFormSize(const QWidget& window, const store::AppFiles& files, const QString& section);

}  // namespace dialogs
