#pragma once
// The channel kind and the text representation as comset.ini stores them (Style, SendStyle,
// ReceiveStyle): each enumerator's value is its stored ordinal. A value outside the list, from a
// hand-edited file, is kept as it is, so the code that switches on it decides what it does.

namespace store {

enum class ChannelKind : int { Serial = 0, TcpServer = 1, TcpClient = 2 };
enum class Representation : int { Hex = 0, Ascii = 1 };

inline bool IsListed(Representation representation) {
  return representation == Representation::Hex || representation == Representation::Ascii;
}

}  // namespace store
