#pragma once
// The communication settings kept in the [ComSet] section of comset.ini: the channel kind, the
// serial parameters, the TCP addresses, the send and receive representations, the character set
// of text on the wire and opening at start-up. Every key name and every default lives here. Values
// the status panels show as they were typed (the serial port, baud rate and data bits, the two TCP
// ports) are kept as the stored text, and turned into numbers only where a channel is opened.

#include <QString>
#include <optional>

#include "store/app_files.h"

namespace store {

// The gap, in milliseconds, that ends a serial receive chunk: what the main window's serial
// channel uses from creation on and until comset.ini says otherwise.
inline constexpr int kReceiveGapMs = 30;

struct ComSetSettings {
  // 0 serial, 1 TCP server, 2 TCP client. Empty only in what the dialog gives when none of its
  // kinds is chosen (a stored kind it has no button for); save then leaves the stored one.
  std::optional<int> style = 0;
  QString port = QStringLiteral("COM1");
  QString baudRate = QStringLiteral("9600");
  QString byteSize = QStringLiteral("8");
  int parity = 0;    // position in 无 / 奇 / 偶 (mark and space beyond)
  int stopBits = 0;  // position in 1 / 1.5 / 2
  bool autoOpen = false;
  int sendStyle = 0;     // 0 HEX, 1 ASCII
  int receiveStyle = 0;  // 0 HEX, 1 ASCII
  // The listening and the connecting port as stored; empty when the file has none (save then
  // writes none).
  std::optional<QString> serverPort;
  QString clientIp = QStringLiteral("127.0.0.1");
  std::optional<QString> clientPort;
  // TextCodec as stored: the character set ASCII text is sent and received in, "UTF-8" or
  // "GB18030"; empty when the file has none (save then writes none). Any other text reads as
  // the default and is kept, so a save writes it back unchanged.
  std::optional<QString> textCodec;
  // Read from the key "RecieveDelay" (so spelled in existing files); never written.
  int receiveGapMs = kReceiveGapMs;

  // The numbers a channel is opened with; text that is not an integer counts as not stored.
  int baudRateValue() const;
  int byteSizeValue() const;
  int serverPortValue() const;
  int clientPortValue() const;
  // The character set the stored TextCodec names, matched without regard to letter case;
  // without one the locale's: GB18030 for a GB18030, GBK or GB2312 locale, UTF-8 for any other.
  QString textCodecName() const;
  // The ports as the status panels show them.
  QString serverPortText() const;
  QString clientPortText() const;

  static ComSetSettings load(const AppFiles& files);
  // Writes the keys one by one in the order the file has always had them, Style first,
  // TextCodec after them all and RecieveDelay never. Throws IniWriteError when the file cannot be
  // written; the keys written before then stay written.
  void save(const AppFiles& files) const;
};

}  // namespace store
