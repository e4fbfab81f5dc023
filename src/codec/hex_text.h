#pragma once
// Conversion between raw bytes and hex text: pairs of hexadecimal digits separated by single
// blanks. Text here is 8-bit (the locale's encoding); only ASCII characters matter, every other
// byte is simply not a hexadecimal digit. Stateless; safe on any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace codec {

// Renders bytes as upper-case hex text, "01 02 FF"; empty input gives empty text.
QByteArray BytesToHexText(QByteArrayView bytes);
// The same text between `before` and `after`, made in one piece: a long line costs no copies.
QString FramedHexText(QStringView before, QByteArrayView bytes, QStringView after);

// Extracts hex text in normal form from free text: scanning from the left, two adjacent hex
// digits form one pair, anything else is skipped one character at a time. Keeps the case in
// which each pair was typed.
QByteArray NormalizeHexText(QByteArrayView text);

// Reads (length + 1) / 3 bytes from text in normal form. Throws std::invalid_argument on a pair
// that is not two hex digits (callers normalise first, so that never happens in the program).
QByteArray HexTextToBytes(QByteArrayView text);

// Upper-cases the letters a-z only, as the senders do before converting and echoing.
QByteArray UpperCaseAscii(QByteArrayView text);

}  // namespace codec
