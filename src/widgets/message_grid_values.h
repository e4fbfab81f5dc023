#pragma once
// Number and date cells: the coercion of an edited text at commit and the display masks.
// Numbers read in the C locale or the user's; their canonical text has up to 15 significant
// digits. Dates are written "yyyy-MM-dd" (with " hh:mm:ss" when they carry a time); a text
// starting with N, T, H, J or D in either case stands for today.
// Number masks use 0 and # digit places, "." and "," (grouping), e.g. "#,##0.00". Date masks use
// yyyy, mm (month), dd, hh, nn (minutes), ss.

#include <QDate>
#include <QString>
#include <optional>

#include "widgets/message_grid_column.h"

namespace widgets {

// The text to store for an edited cell, or nothing when it does not convert.
std::optional<QString> CoerceCellText(TColumnFormat format, const QString& text, QDate today);

// The text to show for a cell; the cell's own text when no mask applies to it.
QString DisplayCellText(const TColumn& column, const QString& text);

}  // namespace widgets
