#include "store/app_files.h"

#include <QCoreApplication>

namespace store {

AppFiles AppFiles::besideExecutable() { return AppFiles{QCoreApplication::applicationDirPath()}; }

}  // namespace store
