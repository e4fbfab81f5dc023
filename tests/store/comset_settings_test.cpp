#include "store/comset_settings.h"

#include <gtest/gtest.h>

#include <QFile>

#include "store/app_files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using store::AppFiles;
using store::ComSetSettings;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

namespace {

// The [ComSet] section as the settings dialog writes it into a new file.
const QByteArray kWrittenByTheDialog =
    "[ComSet]\r\nStyle=2\r\nport=/dev/ttyUSB0\r\nBaudRate=115200\r\nByteSize=7\r\nParity=2\r\n"
    "StopBits=1\r\nAutoOpen=1\r\nSendStyle=1\r\nReceiveStyle=0\r\nSPort=2000\r\nIP=10.0.0.5\r\n"
    "CPort=3000\r\n";

}  // namespace

TEST(ComSetSettings, SavingWritesTheDialogsKeysInItsOrderAndLoadingAndSavingAgainChangesNoByte) {
  TempDir dir;
  const AppFiles files(dir.path());
  ComSetSettings chosen;
  chosen.style = 2;
  chosen.port = "/dev/ttyUSB0";
  chosen.baudRate = "115200";
  chosen.byteSize = "7";
  chosen.parity = 2;
  chosen.stopBits = 1;
  chosen.autoOpen = true;
  chosen.sendStyle = 1;
  chosen.receiveStyle = 0;
  chosen.serverPort = "2000";
  chosen.clientIp = "10.0.0.5";
  chosen.clientPort = "3000";
  chosen.save(files);
  EXPECT_EQ(ReadAll(files.comsetIni()), kWrittenByTheDialog);

  // A file with other sections, other spellings, LF endings and the read-only gap keeps all of
  // it through a load and a save.
  const QByteArray edited =
      "; kept\n[DefineSend]\nisCircle=1\n[comset]\nstyle=1\nPORT=COM3\nBaudRate=0x2580\n"
      "ByteSize=8\nParity=0\nStopBits=0\nAutoOpen=0\nSendStyle=0\nReceiveStyle=1\nSport=0x10\n"
      "Ip=1.2.3.4\nCport=abc\nRecieveDelay=75\n\n[zh]\nPageIndex=1\n";
  WriteAll(files.comsetIni(), edited);
  const ComSetSettings loaded = ComSetSettings::load(files);
  EXPECT_EQ(loaded.receiveGapMs, 75);
  loaded.save(files);
  EXPECT_EQ(ReadAll(files.comsetIni()), edited);
}

TEST(ComSetSettings, MissingOrUnreadableValuesGiveTheDefaultsAndPortsShowAsStoredOrAs1024) {
  TempDir dir;
  const AppFiles files(dir.path());
  const ComSetSettings none = ComSetSettings::load(files);
  EXPECT_EQ(none.style, 0);
  EXPECT_EQ(none.port, "COM1");
  EXPECT_EQ(none.baudRate, "9600");
  EXPECT_EQ(none.byteSize, "8");
  EXPECT_EQ(none.baudRateValue(), 9600);
  EXPECT_EQ(none.byteSizeValue(), 8);
  EXPECT_EQ(none.parity, 0);
  EXPECT_EQ(none.stopBits, 0);
  EXPECT_FALSE(none.autoOpen);
  EXPECT_EQ(none.sendStyle, 0);
  EXPECT_EQ(none.receiveStyle, 0);
  EXPECT_EQ(none.clientIp, "127.0.0.1");
  EXPECT_EQ(none.receiveGapMs, 30);
  EXPECT_FALSE(none.serverPort.has_value());
  EXPECT_FALSE(none.clientPort.has_value());
  EXPECT_EQ(none.serverPortValue(), 1000);
  EXPECT_EQ(none.clientPortValue(), 1000);
  EXPECT_EQ(none.serverPortText(), "1024");
  EXPECT_EQ(none.clientPortText(), "1024");

  // Stored text is shown as typed; where it is no integer, the channel opens with the default.
  WriteAll(files.comsetIni(),
           "[ComSet]\r\nBaudRate=fast\r\nByteSize=$7\r\nSPort=\r\nCPort=0x1F90\r\n");
  const ComSetSettings odd = ComSetSettings::load(files);
  EXPECT_EQ(odd.baudRate, "fast");
  EXPECT_EQ(odd.baudRateValue(), 9600);
  EXPECT_EQ(odd.byteSize, "$7");
  EXPECT_EQ(odd.byteSizeValue(), 7);
  EXPECT_EQ(odd.serverPort, QString(""));
  EXPECT_EQ(odd.serverPortText(), "");
  EXPECT_EQ(odd.serverPortValue(), 1000);
  EXPECT_EQ(odd.clientPortText(), "0x1F90");
  EXPECT_EQ(odd.clientPortValue(), 8080);

  // Nothing to say about the kind or the ports: the stored ones stay, and the gap is never
  // written.
  ComSetSettings unchosen = odd;
  unchosen.style.reset();
  unchosen.serverPort.reset();
  unchosen.clientPort.reset();
  unchosen.save(files);
  EXPECT_EQ(ReadAll(files.comsetIni()),
            "[ComSet]\r\nBaudRate=fast\r\nByteSize=$7\r\nSPort=\r\nCPort=0x1F90\r\nport=COM1\r\n"
            "Parity=0\r\nStopBits=0\r\nAutoOpen=0\r\nSendStyle=0\r\nReceiveStyle=0\r\n"
            "IP=127.0.0.1\r\n");
}

TEST(ComSetSettings, TextCodecIsUtf8OrGb18030AndWithoutOneTheLocalesCharacterSet) {
  TempDir dir;
  const AppFiles files(dir.path());
  testing_support::ScopedEnv locale("LC_ALL", "C.UTF-8");
  const ComSetSettings none = ComSetSettings::load(files);
  EXPECT_FALSE(none.textCodec.has_value());
  EXPECT_EQ(none.textCodecName(), "UTF-8");
  // The Chinese locales' sets are all read by GB18030; any other set is taken as UTF-8.
  for (const char* chinese : {"zh_CN.GB18030", "zh_CN.GBK", "zh_CN.gb2312"}) {
    qputenv("LC_ALL", chinese);
    EXPECT_EQ(none.textCodecName(), "GB18030") << chinese;
  }
  for (const char* other : {"C", "ja_JP.EUC-JP", "xx"}) {
    qputenv("LC_ALL", other);
    EXPECT_EQ(none.textCodecName(), "UTF-8") << other;
  }

  // Stored names win over the locale, whatever their letter case; others read as the default
  // and go back as stored, after every other key.
  WriteAll(files.comsetIni(), "[ComSet]\r\nTextCodec=gb18030\r\n");
  EXPECT_EQ(ComSetSettings::load(files).textCodecName(), "GB18030");
  qputenv("LC_ALL", "zh_CN.GBK");
  WriteAll(files.comsetIni(), "[ComSet]\r\nTextCodec=UTF-8\r\n");
  EXPECT_EQ(ComSetSettings::load(files).textCodecName(), "UTF-8");
  WriteAll(files.comsetIni(), "[ComSet]\r\nTextCodec=Big5\r\n");
  const ComSetSettings big5 = ComSetSettings::load(files);
  EXPECT_EQ(big5.textCodecName(), "GB18030");
  QFile::remove(files.comsetIni());
  big5.save(files);
  EXPECT_TRUE(ReadAll(files.comsetIni()).endsWith("\r\nIP=127.0.0.1\r\nTextCodec=Big5\r\n"))
      << ReadAll(files.comsetIni()).toStdString();
}
