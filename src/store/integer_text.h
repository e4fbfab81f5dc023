#pragma once
// Reading integers the way the stored files expect: optional leading blanks, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X", and nothing
// after the digits. Hexadecimal may use all 32 bits (so $FFFFFFFF is -1); decimal must lie in
// the signed 32-bit range.

#include <QByteArrayView>
#include <cstdint>
#include <optional>

namespace store {

std::optional<std::int32_t> ParseInteger(QByteArrayView text);

}  // namespace store
