#include "store/list_text_encoding.h"

#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <optional>

namespace store {
namespace {

constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";

// Pinyin letters with tone marks beyond Latin-1, as GBK holds them.
constexpr QStringView kPinyinLetters = u"āǎēěīǐōǒūǔǖǘǚǜńňǹɑɡ";

bool inRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

bool plausibleInChineseList(char32_t c) {
  return c < 0x80 || inRange(c, 0xA0, 0xFF) ||
         (c <= 0xFFFF && kPinyinLetters.contains(QChar(static_cast<char16_t>(c)))) ||
         inRange(c, 0x391, 0x3C9) ||    // Greek letters, as units and symbols
         inRange(c, 0x2000, 0x2BFF) ||  // punctuation, arrows, maths, box drawing, shapes
         inRange(c, 0x2E80, 0x9FFF) ||  // CJK radicals, punctuation, kana, ideographs
         inRange(c, 0xF900, 0xFAFF) ||  // CJK compatibility ideographs
         inRange(c, 0xFE30, 0xFE4F) ||  // CJK compatibility forms
         inRange(c, 0xFF00, 0xFFEF) ||  // full-width forms
         c >= 0x10000;                  // rare ideographs and emoji beyond the basic plane
}

qsizetype implausibleCount(QStringView text) {
  qsizetype count = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    }
    if (!plausibleInChineseList(c)) ++count;
  }
  return count;
}

// The text, or nothing when the bytes are not valid in the encoding; stateless, so an
// incomplete sequence at the end counts as invalid.
std::optional<QString> decodeStrictly(QStringDecoder decoder, QByteArrayView bytes) {
  if (!decoder.isValid()) return std::nullopt;
  QString text = decoder(bytes);
  if (decoder.hasError()) return std::nullopt;
  return text;
}

std::optional<QString> strictUtf8(QByteArrayView bytes) {
  return decodeStrictly(QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless),
                        bytes);
}

std::optional<QString> strictGbk(QByteArrayView bytes) {
  return decodeStrictly(QStringDecoder("GBK", QStringDecoder::Flag::Stateless), bytes);
}

// Bytes that are not UTF-8: GBK, with anything GBK cannot read as the replacement character.
QByteArray gbkAsUtf8(QByteArrayView bytes) {
  QStringDecoder gbk("GBK");
  if (!gbk.isValid()) return QString::fromUtf8(bytes).toUtf8();
  return QString(gbk(bytes)).toUtf8();
}

QByteArray unmarkedAsUtf8(QByteArrayView bytes) {
  const std::optional<QString> asUtf8 = strictUtf8(bytes);
  if (!asUtf8) return gbkAsUtf8(bytes);
  const std::optional<QString> asGbk = strictGbk(bytes);
  if (asGbk && implausibleCount(*asGbk) < implausibleCount(*asUtf8)) return asGbk->toUtf8();
  return bytes.toByteArray();
}

QByteArray utf16AsUtf8(QByteArrayView bytes, QStringDecoder::Encoding encoding) {
  QStringDecoder utf16(encoding, QStringDecoder::Flag::Stateless);
  return QString(utf16(bytes)).toUtf8();
}

}  // namespace

QByteArray ListTextAsUtf8(const QByteArray& raw) {
  const QByteArrayView bytes(raw);
  if (bytes.startsWith(kUtf8Mark)) {
    // The mark says UTF-8; bytes that are not fall back to GBK rather than being lost.
    const QByteArrayView rest = bytes.sliced(3);
    return strictUtf8(rest) ? rest.toByteArray() : gbkAsUtf8(rest);
  }
  if (bytes.startsWith(kUtf16LeMark)) return utf16AsUtf8(bytes.sliced(2), QStringDecoder::Utf16LE);
  if (bytes.startsWith(kUtf16BeMark)) return utf16AsUtf8(bytes.sliced(2), QStringDecoder::Utf16BE);
  return unmarkedAsUtf8(bytes);
}

}  // namespace store
