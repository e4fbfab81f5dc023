#pragma once
// The text of a message-list file as UTF-8 bytes, whichever encoding saved it.
// A byte-order mark names the encoding and is dropped: UTF-8 (EF BB BF), as Windows editors
// save it, or UTF-16 (FF FE little-endian, FE FF big-endian), their "Unicode" text.
// Without a mark the file is UTF-8, as this program writes it, or GBK, as lists made on
// Chinese Windows installations are. Validity alone cannot tell them apart: many short GBK
// texts are valid UTF-8 too (停止 is CD A3 D6 B9, which UTF-8 reads as a combining mark and a
// Hebrew point). When both readings are valid, the one holding fewer characters a Chinese
// user's list would not hold wins (combining marks, Hebrew, Cyrillic, private-use and the
// like, against CJK ideographs and punctuation, Latin-1, pinyin, Greek, common symbols and
// characters beyond the basic plane); a tie goes to UTF-8.

#include <QByteArray>

namespace store {

inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

QByteArray ListTextAsUtf8(const QByteArray& raw);

}  // namespace store
