#include "codec/text_codec.h"

#include <QStringEncoder>
#include <stdexcept>

namespace codec {
namespace {

// The initial byte order mark is text like any other: a device that sends one sees it kept.
constexpr QStringConverter::Flags kKeepEveryCharacter = QStringConverter::Flag::ConvertInitialBom;
// A message is encoded whole: a lone surrogate at its end is an error, not a character to come.
constexpr QStringConverter::Flags kWholeText =
    kKeepEveryCharacter | QStringConverter::Flag::Stateless;

[[noreturn]] void ThrowUnknownCharset(const QString& charset) {
  throw std::invalid_argument("no converter for the character set " + charset.toStdString());
}

QStringEncoder EncoderFor(const QString& charset) {
  QStringEncoder encoder(charset.toLatin1().constData(), kWholeText);
  if (!encoder.isValid()) ThrowUnknownCharset(charset);
  return encoder;
}

}  // namespace

TextDecoder::TextDecoder(const QString& charset)
    : decoder_(charset.toLatin1().constData(), kKeepEveryCharacter) {
  if (!decoder_.isValid()) ThrowUnknownCharset(charset);
}

QString TextDecoder::decode(QByteArrayView bytes) { return decoder_.decode(bytes); }

EncodedText EncodeText(QStringView text, const QString& charset) {
  QStringEncoder encoder = EncoderFor(charset);
  QByteArray bytes = encoder.encode(text);
  if (!encoder.hasError()) return {std::move(bytes), std::nullopt};
  // Only a failed message comes here: each character on its own tells which one it was.
  for (qsizetype at = 0; at < text.size();) {
    const bool pair =
        text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    const QStringView character = text.sliced(at, pair ? 2 : 1);
    at += character.size();
    QStringEncoder alone = EncoderFor(charset);
    const QByteArray converted = alone.encode(character);  // the conversion runs only when taken
    if (alone.hasError()) {
      return {{},
              pair ? QChar::surrogateToUcs4(character[0], character[1])
                   : char32_t(character[0].unicode())};
    }
  }
  return {{}, char32_t(QChar::ReplacementCharacter)};  // failed as a whole: still nothing to send
}

}  // namespace codec
