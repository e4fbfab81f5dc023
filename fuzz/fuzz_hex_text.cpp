// Hex text codec on arbitrary text: the normal form normalises to itself, has the shape
// "XX XX ... XX", and its bytes render back to it (upper-cased); reading arbitrary text either
// yields (length + 1) / 3 bytes or throws std::invalid_argument.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "codec/hex_text.h"

namespace {

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool hasNormalShape(const QByteArray& text) {
  if (text.isEmpty()) return true;
  if ((text.size() + 1) % 3 != 0) return false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const bool separator = i % 3 == 2;
    if (separator ? text[i] != ' ' : !isHexDigit(text[i])) return false;
  }
  return true;
}

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  const QByteArray normal = codec::NormalizeHexText(input);
  require(hasNormalShape(normal));
  require(codec::NormalizeHexText(normal) == normal);

  const QByteArray bytes = codec::HexTextToBytes(normal);
  require(bytes.size() == (normal.size() + 1) / 3);
  require(codec::BytesToHexText(bytes) == codec::UpperCaseAscii(normal));

  try {
    const QByteArray raw = codec::HexTextToBytes(input);
    require(raw.size() == (input.size() + 1) / 3);
  } catch (const std::invalid_argument&) {
    // Text that is not in normal form may be refused; it must not crash or read out of bounds.
  }
  return 0;
}
