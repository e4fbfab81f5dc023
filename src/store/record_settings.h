#pragma once
// Recording of the traffic log to a file, kept in the [Record] section of comset.ini: `Enabled`
// (0 or 1), whether the program records, from start-up on too, and `File`, the file it records
// into. Both absent: no recording.

#include <QString>

#include "store/app_files.h"

namespace store {

struct RecordSettings {
  bool enabled = false;
  QString file;

  static RecordSettings load(const AppFiles& files);
  // Writes File, then Enabled. Throws IniWriteError when the file cannot be written.
  void save(const AppFiles& files) const;
};

}  // namespace store
