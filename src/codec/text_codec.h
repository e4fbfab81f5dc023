#pragma once
// Text on the wire in a named character set: "UTF-8", or "GB18030", which also reads GBK and
// GB2312 bytes (it is their superset). Qt's own converters do UTF-8; GB18030 comes from the ICU
// library Qt is built with.
// A TextDecoder belongs to one received stream: a character whose bytes are cut between two
// chunks is held back from the first and comes out whole at the start of the next, so a device
// printing Chinese never shows two replacement characters where one character was sent. A
// stream that ends drops what it held with its decoder. Bytes that form no character become
// U+FFFD; every other byte, zero bytes, CR and LF included, becomes its character.
// EncodeText is stateless. Nothing here is shared: one thread per object.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <optional>

namespace codec {

inline const QString kUtf8 = QStringLiteral("UTF-8");
inline const QString kGb18030 = QStringLiteral("GB18030");

class TextDecoder {
 public:
  // Throws std::invalid_argument when there is no converter for the name.
  explicit TextDecoder(const QString& charset = kUtf8);

  // The characters the bytes complete, after those held from the call before.
  QString decode(QByteArrayView bytes);

 private:
  QStringDecoder decoder_;
};

struct EncodedText {
  QByteArray bytes;
  // The first character the character set has no bytes for (a lone surrogate for UTF-8); the
  // bytes are then not to be sent.
  std::optional<char32_t> unrepresentable;
};

// Throws std::invalid_argument when there is no converter for the name.
EncodedText EncodeText(QStringView text, const QString& charset);

}  // namespace codec
