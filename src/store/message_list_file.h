#pragma once
// Message-list files (*.sen) and the name of the current one.
// A file is a sequence of grid blocks, one per grid: a count line holding the grid's RowCount
// in decimal (title row included), then one comma-text row line per data row, row 1 first,
// every line ended by CR LF. Column titles and widths are not stored.
// Text is written as UTF-8, without a byte-order mark unless the text would otherwise read as
// GBK; a file is read in the encoding its mark names, else as UTF-8 or GBK, whichever gives
// plausible text (list_text_encoding.h).
// Input/output failures throw FileIoError; failures to write comset.ini throw IniWriteError.
// A save replaces the file whole, so a failed save leaves the previous file as it was.
// A count line larger than the rows the file holds is honoured up to kMaxRowsBeyondFile
// missing rows, so a damaged count (say 2147483647) cannot exhaust memory.

#include <QString>
#include <vector>

#include "store/app_files.h"
#include "store/grid_access.h"

namespace store {

inline constexpr int kMaxRowsBeyondFile = 65536;

// Fills each grid from one block of the file. When no file exists under `fileName`, reads
// `defaultName` in the settings directory instead; when that is missing too, the one installed
// beside the executable, and when there is none, an empty one created in the settings directory.
void LoadGridsFromFile(const std::vector<GridAccess*>& grids, const QString& fileName,
                       const QString& defaultName, const AppFiles& files);
void SaveGridsToFile(const std::vector<GridAccess*>& grids, const QString& fileName);

// The title cell of column 0 becomes empty and data row r gets the text of r.
void NumberGridRows(GridAccess& grid);
// Each listed column gets the width of its widest title or data cell plus 20 pixels.
void FitGridColumns(GridAccess& grid, const std::vector<int>& columns);
// Empties the cells of the listed columns in every row; the column titles stay.
void ClearGridColumns(GridAccess& grid, const std::vector<int>& columns);

// The current list's name from comset.ini; when no file exists under it, the default list's
// name, which is then written back to comset.ini.
QString CurrentSendFileName(const AppFiles& files);
void StoreSendFileName(const AppFiles& files, const QString& fileName);

}  // namespace store
