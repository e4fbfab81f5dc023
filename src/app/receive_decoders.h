#pragma once
// The text decoders of the received streams of the main window's channel, one per stream: the
// serial port, the TCP client's connection, each connection of the TCP server. A stream's
// decoder is made at its first chunk and goes with the stream object, and restart() at every
// open drops them all, so bytes held from one stream never complete a character of another.
// GUI thread only.

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <unordered_map>

#include "codec/text_codec.h"

namespace app {

class ReceiveDecoders {
 public:
  ReceiveDecoders() = default;
  ReceiveDecoders(const ReceiveDecoders&) = delete;
  ReceiveDecoders& operator=(const ReceiveDecoders&) = delete;
  ~ReceiveDecoders();

  // Drops every decoder; the streams from now on decode from this character set. Throws
  // std::invalid_argument, changing nothing, when there is no converter for it.
  void restart(const QString& charset);
  // The decoder of the stream whose chunks `stream` delivers.
  codec::TextDecoder& of(const QObject& stream);

 private:
  struct Decoder {
    codec::TextDecoder decoder;
    QMetaObject::Connection release;  // drops the decoder when the stream object goes
  };
  void dropAll();

  QString charset_ = codec::kUtf8;
  std::unordered_map<const QObject*, Decoder> decoders_;
};

}  // namespace app
