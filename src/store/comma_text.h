#pragma once
// Comma-text: one row of cells as one line of a message-list file.
// Writing joins the cells with commas; a cell holding a byte of 0x20 or less, a double quote or
// a comma is enclosed in double quotes with inner quotes doubled; an empty cell is written as
// nothing, except that a row of exactly one empty cell is written as "".
// Reading splits a line into fields: blanks and control bytes around fields are skipped, a
// quoted field runs to the quote not followed by a second one, an unquoted field ends at a
// blank, control byte or comma, and a comma at the very end of the line adds one empty field.
// Every line JoinCommaText writes is split back into the same cells.
// The rules work on UTF-8 bytes: continuation bytes are all 0x80 or above, so a multi-byte
// character is never taken for a blank, a quote or a comma. The NUL byte counts as a control
// byte like 1..31, so no byte value can stall the scan.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace store {

QByteArray JoinCommaText(const QList<QByteArray>& cells);
QList<QByteArray> SplitCommaText(QByteArrayView line);

}  // namespace store
