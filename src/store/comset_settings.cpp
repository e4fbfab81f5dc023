#include "store/comset_settings.h"

#include "codec/text_codec.h"
#include "platform/locale_charset_posix.h"
#include "store/ini_file.h"

namespace store {
namespace {

const QString kSection = QStringLiteral("ComSet");
const QString kStyle = QStringLiteral("Style");
const QString kPort = QStringLiteral("port");
const QString kBaudRate = QStringLiteral("BaudRate");
const QString kByteSize = QStringLiteral("ByteSize");
const QString kParity = QStringLiteral("Parity");
const QString kStopBits = QStringLiteral("StopBits");
const QString kAutoOpen = QStringLiteral("AutoOpen");
const QString kSendStyle = QStringLiteral("SendStyle");
const QString kReceiveStyle = QStringLiteral("ReceiveStyle");
const QString kServerPort = QStringLiteral("SPort");
const QString kClientIp = QStringLiteral("IP");
const QString kClientPort = QStringLiteral("CPort");
const QString kTextCodec = QStringLiteral("TextCodec");
const QString kReceiveGap = QStringLiteral("RecieveDelay");

// A TCP port the file does not hold: the channels open this one ...
constexpr int kPortWhenNotStored = 1000;
// ... while the status panels show this one.
const QString kPortTextWhenNotStored = QStringLiteral("1024");

int IntegerOr(const QString& text, int fallback) {
  return IniIntegerValue(text).value_or(fallback);
}

int PortValue(const std::optional<QString>& stored) {
  return stored ? IntegerOr(*stored, kPortWhenNotStored) : kPortWhenNotStored;
}

}  // namespace

// Text that is not an integer opens with the number of the default text.
int ComSetSettings::baudRateValue() const {
  return IntegerOr(baudRate, ComSetSettings().baudRate.toInt());
}

int ComSetSettings::byteSizeValue() const {
  return IntegerOr(byteSize, ComSetSettings().byteSize.toInt());
}

int ComSetSettings::serverPortValue() const { return PortValue(serverPort); }
int ComSetSettings::clientPortValue() const { return PortValue(clientPort); }
QString ComSetSettings::textCodecName() const {
  for (const QString& name : {codec::kUtf8, codec::kGb18030}) {
    if (textCodec && textCodec->compare(name, Qt::CaseInsensitive) == 0) return name;
  }
  // GB18030 reads what the Chinese locales' older sets write.
  const QString locale = platform::LocaleCharset();
  for (const char* chinese : {"GB18030", "GBK", "GB2312"}) {
    if (locale.compare(QLatin1String(chinese), Qt::CaseInsensitive) == 0) return codec::kGb18030;
  }
  return codec::kUtf8;
}

QString ComSetSettings::serverPortText() const {
  return serverPort.value_or(kPortTextWhenNotStored);
}
QString ComSetSettings::clientPortText() const {
  return clientPort.value_or(kPortTextWhenNotStored);
}

ComSetSettings ComSetSettings::load(const AppFiles& files) {
  const IniFile ini(files.comsetIni());
  ComSetSettings s;
  s.style = ini.readInteger(kSection, kStyle, *s.style);
  s.port = ini.readString(kSection, kPort, s.port);
  s.baudRate = ini.readString(kSection, kBaudRate, s.baudRate);
  s.byteSize = ini.readString(kSection, kByteSize, s.byteSize);
  s.parity = ini.readInteger(kSection, kParity, s.parity);
  s.stopBits = ini.readInteger(kSection, kStopBits, s.stopBits);
  s.autoOpen = ini.readBool(kSection, kAutoOpen, s.autoOpen);
  s.sendStyle = ini.readInteger(kSection, kSendStyle, s.sendStyle);
  s.receiveStyle = ini.readInteger(kSection, kReceiveStyle, s.receiveStyle);
  s.serverPort = ini.readValue(kSection, kServerPort);
  s.clientIp = ini.readString(kSection, kClientIp, s.clientIp);
  s.clientPort = ini.readValue(kSection, kClientPort);
  s.textCodec = ini.readValue(kSection, kTextCodec);
  s.receiveGapMs = ini.readInteger(kSection, kReceiveGap, s.receiveGapMs);
  return s;
}

void ComSetSettings::save(const AppFiles& files) const {
  const IniFile ini(files.comsetIni());
  if (style) ini.writeInteger(kSection, kStyle, *style);
  ini.writeString(kSection, kPort, port);
  ini.writeString(kSection, kBaudRate, baudRate);
  ini.writeString(kSection, kByteSize, byteSize);
  ini.writeInteger(kSection, kParity, parity);
  ini.writeInteger(kSection, kStopBits, stopBits);
  ini.writeBool(kSection, kAutoOpen, autoOpen);
  ini.writeInteger(kSection, kSendStyle, sendStyle);
  ini.writeInteger(kSection, kReceiveStyle, receiveStyle);
  if (serverPort) ini.writeString(kSection, kServerPort, *serverPort);
  ini.writeString(kSection, kClientIp, clientIp);
  if (clientPort) ini.writeString(kSection, kClientPort, *clientPort);
  if (textCodec) ini.writeString(kSection, kTextCodec, *textCodec);
}

}  // namespace store
