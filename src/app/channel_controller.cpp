// Opening and closing the chosen channel and showing its state: commands, timers and the
// five status panels.
#include <QAction>
#include <QCheckBox>
#include <QToolButton>

#include "app/main_window.h"
#include "app/status_panels.h"
#include "channels/serial_comm.h"
#include "store/comma_text.h"
#include "store/comset_settings.h"
#include "widgets/prompts.h"

namespace app {
namespace {

// Panel 0 of the serial kind: the five settings as one comma text.
QString settingsText(const QStringList& items) {
  QList<QByteArray> cells;
  for (const QString& item : items) cells.append(item.toUtf8());
  return QString::fromUtf8(store::JoinCommaText(cells));
}

QString representationName(int style) {
  if (style == 0) return QStringLiteral("HEX");
  if (style == 1) return QStringLiteral("ASCII");
  return QString();
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

bool TfrmZh::AutoOpenEnabled() const { return store::ComSetSettings::load(ctx_.files).autoOpen; }

bool TfrmZh::OpenChannel() {
  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  style_ = *settings.style;
  switch (style_) {
    case 0: {
      channels::TComm& comm = *comm1_;
      comm.setCommName(settings.port);
      comm.setBaudRate(static_cast<quint32>(settings.baudRateValue()));
      comm.setParity(static_cast<channels::TParity>(settings.parity));
      comm.setByteSize(static_cast<channels::TByteSize>(settings.byteSizeValue() - 5));
      comm.setStopBits(static_cast<channels::TStopBits>(settings.stopBits));
      comm.setReadIntervalTimeout(static_cast<quint32>(settings.receiveGapMs));
      comm.OpenPort();
      return true;
    }
    case 1:
      return OpenServerChannel();
    case 2:
      return OpenClientChannel();
    default:
      return true;
  }
}

void TfrmZh::BtnOpenComClick() {
  opened_ = OpenChannel();
  ShowChannelState(style_, opened_);
}

void TfrmZh::SetStyle(int style) { style_ = style; }

void TfrmZh::CloseChannel() {
  switch (style_) {
    case 0:
      comm1_->ClosePort();
      break;
    case 1:
      CloseServerChannel();
      break;
    case 2:
      CloseClientChannel();
      break;
    default:
      break;
  }
  opened_ = false;
  ShowChannelState(style_, false);
}

// The serial engine gave up on the device: it went away (a USB adapter pulled, a pty master
// closed) or failed. The channel is closed as by the close command, which releases the device so
// that 打开 opens it again once it is back, and the user is told.
void TfrmZh::Comm1RequestHangup() {
  if (style_ != 0 || !opened_) return;
  triggerCloseCommand();
  widgets::ShowNotice(ctx_.prompts, this, QStringLiteral("串口已断开"));
}

void TfrmZh::ShowChannelState(int style, bool opened) {
  ui_.btnCloseCom->setEnabled(opened);
  ui_.btnPortSet->setEnabled(!opened);
  ui_.BtnOpenCom->setEnabled(!opened);
  ui_.ceksend1->setEnabled(opened);
  ui_.BtnSend1->setEnabled(opened);
  ui_.ceksend2->setEnabled(opened);
  ui_.BtnSend2->setEnabled(opened);
  // Unticking runs each box's own handling, which sees the new state.
  ui_.ceksend1->setChecked(false);
  ui_.ceksend2->setChecked(false);
  timer1_.stop();
  timer2_.stop();

  if (style == 0)
    showSerialState(opened);
  else if (style == 1)
    showServerState(opened);
  else if (style == 2)
    showClientState(opened);

  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  sendStyle_ = settings.sendStyle;
  panels_->setText(2, QStringLiteral("发送方式:") + representationName(sendStyle_));
  receiveStyle_ = settings.receiveStyle;
  panels_->setText(3, QStringLiteral("接收方式:") + representationName(receiveStyle_));
  FitStatusPanels();
}

void TfrmZh::showSerialState(bool opened) {
  panels_->setText(4, QStringLiteral("串口方式"));
  if (opened) {
    const channels::TComm& comm = *comm1_;
    panels_->setText(0, settingsText({comm.CommName(), QString::number(comm.BaudRate()),
                                      dataBitsText(static_cast<int>(comm.ByteSize())),
                                      parityText(static_cast<int>(comm.Parity())),
                                      stopBitsText(static_cast<int>(comm.StopBits()))}));
    panels_->setText(1, QStringLiteral(" 端口状态: 打开 "));
    FitStatusPanels();
    return;
  }
  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  panels_->setText(0, settingsText({
                          settings.port,
                          settings.baudRate,
                          settings.byteSize,
                          parityText(settings.parity),
                          stopBitsText(settings.stopBits),
                      }));
  panels_->setText(1, QStringLiteral(" 端口状态: 关闭 "));
}

void TfrmZh::showServerState(bool opened) {
  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  panels_->setText(4, QStringLiteral("以太网Tcp/ip方式　服务端"));
  panels_->setText(0, QStringLiteral("监听端口：") + settings.serverPortText());
  if (!opened) panels_->setText(1, QStringLiteral("尚未监听"));
}

void TfrmZh::showClientState(bool opened) {
  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  panels_->setText(4, QStringLiteral("以太网Tcp/ip方式　客户端"));
  panels_->setText(0, QStringLiteral("  连接IP:") + settings.clientIp + QStringLiteral(",端口：") +
                          settings.clientPortText() + QStringLiteral("  "));
  if (!opened) panels_->setText(1, QStringLiteral("尚未连接"));
}

void TfrmZh::FitStatusPanels() { panels_->fitAll(); }

}  // namespace app
