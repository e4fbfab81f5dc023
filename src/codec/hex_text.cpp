#include "codec/hex_text.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace codec {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Characters with codes 32 or less count as blanks; bytes above 127 do not.
bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// Writes the hex text of non-empty `bytes` at `out`, which has room for 3 * size - 1 characters.
template <typename Char>
void writeHexText(QByteArrayView bytes, Char* out) {
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0) *out++ = ' ';
    *out++ = static_cast<Char>(kDigits[b >> 4]);
    *out++ = static_cast<Char>(kDigits[b & 0x0F]);
  }
}

}  // namespace

QByteArray BytesToHexText(QByteArrayView bytes) {
  QByteArray result;
  if (bytes.isEmpty()) return result;
  result.resize(bytes.size() * 3 - 1);
  writeHexText(bytes, result.data());
  return result;
}

QString FramedHexText(QStringView before, QByteArrayView bytes, QStringView after) {
  const qsizetype hexLength = bytes.isEmpty() ? 0 : bytes.size() * 3 - 1;
  QString result(before.size() + hexLength + after.size(), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(result.data());
  std::copy(before.utf16(), before.utf16() + before.size(), out);
  if (!bytes.isEmpty()) writeHexText(bytes, out + before.size());
  std::copy(after.utf16(), after.utf16() + after.size(), out + before.size() + hexLength);
  return result;
}

QByteArray NormalizeHexText(QByteArrayView text) {
  // Blanks and controls around the input and between pairs never form part of a pair, and a
  // non-digit only ever moves the scan one character on, so one left-to-right pass suffices.
  QByteArray result;
  qsizetype end = text.size();
  while (end > 0 && isBlankOrControl(text[end - 1])) --end;
  qsizetype i = 0;
  while (i < end && isBlankOrControl(text[i])) ++i;
  while (end - i >= 2) {
    if (isHexDigit(text[i]) && isHexDigit(text[i + 1])) {
      if (!result.isEmpty()) result.append(' ');
      result.append(text[i]).append(text[i + 1]);
      i += 2;
      while (i < end && isBlankOrControl(text[i])) ++i;
    } else {
      ++i;
    }
  }
  return result;
}

QByteArray HexTextToBytes(QByteArrayView text) {
  const qsizetype count = (text.size() + 1) / 3;
  QByteArray bytes(count, '\0');
  for (qsizetype i = 0; i < count; ++i) {
    const int high = hexValue(text[3 * i]);
    const int low = hexValue(text[3 * i + 1]);
    if (high < 0 || low < 0) {
      throw std::invalid_argument("'" + std::string(text.sliced(3 * i, 2).data(), 2) +
                                  "' is not a valid integer value");
    }
    bytes[i] = static_cast<char>(high * 16 + low);
  }
  return bytes;
}

QByteArray UpperCaseAscii(QByteArrayView text) {
  QByteArray result(text.data(), text.size());
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

}  // namespace codec
