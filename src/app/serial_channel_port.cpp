#include "app/serial_channel_port.h"

#include "app/status_panels.h"
#include "channels/serial_comm.h"
#include "store/comma_text.h"
#include "store/comset_settings.h"

namespace app {
namespace {

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
    : services_(std::move(services)),
      comm_(std::make_unique<channels::TComm>()),
      returnWatch_([this] { return reopen(); }) {
  // The serial channel always runs without flow control, DTR and RTS inactive.
  comm_->setDtrControl(channels::TDtrControl::DtrDisable);
  comm_->setRtsControl(channels::TRtsControl::RtsDisable);
  comm_->setTxContinueOnXoff(false);
  comm_->setOutx_XonXoffFlow(false);
  comm_->setInx_XonXoffFlow(false);
  comm_->setXonChar(0);
  comm_->setXoffChar(0);
  comm_->setReadIntervalTimeout(store::kReceiveGapMs);
}

SerialChannelPort::~SerialChannelPort() { comm_->ClosePort(); }

bool SerialChannelPort::open() {
  returnWatch_.stop();
  const store::ComSetSettings settings = store::ComSetSettings::load(services_.context.files);
  channels::TComm& comm = *comm_;
  comm.setCommName(settings.port);
  comm.setBaudRate(static_cast<quint32>(settings.baudRateValue()));
  comm.setParity(static_cast<channels::TParity>(settings.parity));
  comm.setByteSize(static_cast<channels::TByteSize>(settings.byteSizeValue() - 5));
  comm.setStopBits(static_cast<channels::TStopBits>(settings.stopBits));
  comm.setReadIntervalTimeout(static_cast<quint32>(settings.receiveGapMs));
  comm.OpenPort();
  return true;
}

void SerialChannelPort::close() {
  returnWatch_.stop();
  comm_->ClosePort();
}

void SerialChannelPort::awaitReturn() {
  comm_->ClosePort();
  returnWatch_.start(channels::DevicePathForCommName(comm_->CommName()));
}

// The engine keeps the settings of the lost session: the device opens again as it was.
bool SerialChannelPort::reopen() {
  bool opened = false;
  services_.guarded([&] {
    try {
      comm_->OpenPort();
      opened = true;
    } catch (const channels::ECommsError&) {
      // Not there yet, or held by another program: the watch tries again.
    }
  });
  if (!opened) return false;
  returnWatch_.stop();
  if (onReopened) services_.guarded(onReopened);
  return true;
}

void SerialChannelPort::write(QByteArrayView bytes, WritePattern pattern) {
  if (pattern == WritePattern::HexBytes) {
    comm_->SendEachByte(bytes);
  } else {
    comm_->SendBytes(bytes);
  }
}

void SerialChannelPort::showState(const store::ComSetSettings& settings, bool opened) {
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
  panels.setText(0, settingsText({settings.port, settings.baudRate, settings.byteSize,
                                  parityText(settings.parity), stopBitsText(settings.stopBits)}));
  panels.setText(1, QStringLiteral(" 端口状态: 关闭 "));
}

}  // namespace app
