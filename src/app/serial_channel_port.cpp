#include "app/serial_channel_port.h"

#include "app/status_panels.h"
#include "channels/serial_comm.h"
#include "store/comma_text.h"
#include "store/ini_file.h"

namespace app {
namespace {

const QString kComSet = QStringLiteral("ComSet");

// Panel 0: the five settings as one comma text.
QString settingsText(const QStringList& items) {
  QList<QByteArray> cells;
  for (const QString& item : items) cells.append(item.toUtf8());
  return QString::fromUtf8(store::JoinCommaText(cells));
}

QString dataBitsText(int ordinal) {
  return ordinal >= 0 && ordinal <= 3 ? QString::number(ordinal + 5) : QString();
}

QString parityText(int ordinal) {
  static const QStringList names{QStringLiteral("无"), QStringLiteral("奇"), QStringLiteral("偶")};
  return names.value(ordinal);
}

QString stopBitsText(int ordinal) {
  static const QStringList names{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
  return names.value(ordinal);
}

}  // namespace

SerialChannelPort::SerialChannelPort(PortServices services)
    : services_(std::move(services)), comm_(std::make_unique<channels::TComm>()) {
  // The serial channel always runs without flow control, DTR and RTS inactive.
  comm_->setDtrControl(channels::TDtrControl::DtrDisable);
  comm_->setRtsControl(channels::TRtsControl::RtsDisable);
  comm_->setTxContinueOnXoff(false);
  comm_->setOutx_XonXoffFlow(false);
  comm_->setInx_XonXoffFlow(false);
  comm_->setXonChar(0);
  comm_->setXoffChar(0);
  comm_->setReadIntervalTimeout(30);
}

SerialChannelPort::~SerialChannelPort() { comm_->ClosePort(); }

bool SerialChannelPort::open() {
  const store::IniFile ini(services_.context.files.comsetIni());
  channels::TComm& comm = *comm_;
  comm.setCommName(ini.readString(kComSet, QStringLiteral("port"), QStringLiteral("COM1")));
  comm.setBaudRate(
      static_cast<quint32>(ini.readInteger(kComSet, QStringLiteral("BaudRate"), 9600)));
  comm.setParity(
      static_cast<channels::TParity>(ini.readInteger(kComSet, QStringLiteral("Parity"), 0)));
  comm.setByteSize(static_cast<channels::TByteSize>(
      ini.readInteger(kComSet, QStringLiteral("ByteSize"), 8) - 5));
  comm.setStopBits(
      static_cast<channels::TStopBits>(ini.readInteger(kComSet, QStringLiteral("StopBits"), 0)));
  comm.setReadIntervalTimeout(
      static_cast<quint32>(ini.readInteger(kComSet, QStringLiteral("RecieveDelay"), 30)));
  comm.OpenPort();
  return true;
}

void SerialChannelPort::close() { comm_->ClosePort(); }

void SerialChannelPort::write(QByteArrayView bytes, WritePattern pattern) {
  if (pattern == WritePattern::HexBytes) {
    comm_->SendEachByte(bytes);
  } else {
    comm_->SendBytes(bytes);
  }
}

void SerialChannelPort::showState(bool opened) {
  StatusPanels& panels = services_.panels;
  panels.setText(4, QStringLiteral("串口方式"));
  if (opened) {
    const channels::TComm& comm = *comm_;
    panels.setText(0, settingsText({comm.CommName(), QString::number(comm.BaudRate()),
                                    dataBitsText(static_cast<int>(comm.ByteSize())),
                                    parityText(static_cast<int>(comm.Parity())),
                                    stopBitsText(static_cast<int>(comm.StopBits()))}));
    panels.setText(1, QStringLiteral(" 端口状态: 打开 "));
    panels.fitAll();
    return;
  }
  const store::IniFile ini(services_.context.files.comsetIni());
  panels.setText(0, settingsText({
                        ini.readString(kComSet, QStringLiteral("port"), QStringLiteral("COM1")),
                        ini.readString(kComSet, QStringLiteral("BaudRate"), QStringLiteral("9600")),
                        ini.readString(kComSet, QStringLiteral("ByteSize"), QStringLiteral("8")),
                        parityText(ini.readInteger(kComSet, QStringLiteral("Parity"), 0)),
                        stopBitsText(ini.readInteger(kComSet, QStringLiteral("StopBits"), 0)),
                    }));
  panels.setText(1, QStringLiteral(" 端口状态: 关闭 "));
}

}  // namespace app
