#include "app/receive_decoders.h"

namespace app {

ReceiveDecoders::~ReceiveDecoders() { dropAll(); }

void ReceiveDecoders::restart(const QString& charset) {
  // A character set without a converter fails the open here, once, not every chunk after it.
  codec::TextDecoder{charset};
  dropAll();
  charset_ = charset;
}

codec::TextDecoder& ReceiveDecoders::of(const QObject& stream) {
  auto found = decoders_.find(&stream);
  if (found == decoders_.end()) {
    found = decoders_.emplace(&stream, Decoder{codec::TextDecoder(charset_), {}}).first;
    // A server's connection object may be freed and another made at its address.
    found->second.release = QObject::connect(&stream, &QObject::destroyed,
                                             [this, key = &stream] { decoders_.erase(key); });
  }
  return found->second.decoder;
}

void ReceiveDecoders::dropAll() {
  for (auto& [stream, decoder] : decoders_) QObject::disconnect(decoder.release);
  decoders_.clear();
}

}  // namespace app
