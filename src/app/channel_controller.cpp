// Opening and closing the chosen channel and showing its state: commands, timers and the
// five status panels. Each channel kind's own work is done by its port.
#include <QAction>
#include <QCheckBox>
#include <QToolButton>

#include "app/main_window.h"
#include "app/serial_channel_port.h"
#include "app/status_panels.h"
#include "app/tcp_client_channel_port.h"
#include "app/tcp_server_channel_port.h"
#include "channels/socket_client.h"
#include "channels/socket_server.h"
#include "store/comset_settings.h"

namespace app {
namespace {

QString representationName(store::Representation representation) {
  switch (representation) {
    case store::Representation::Hex:
      return QStringLiteral("HEX");
    case store::Representation::Ascii:
      return QStringLiteral("ASCII");
  }
  return QString();
}

}  // namespace

PortServices TfrmZh::portServices() {
  return PortServices{ctx_, *panels_, this, [this] { triggerCloseCommand(); },
                      [this] {
                        clientPort_->Client().setActive(false);
                        serverPort_->Server().setActive(false);
                      }};
}

ChannelPort* TfrmZh::port(store::ChannelKind kind) const {
  switch (kind) {
    case store::ChannelKind::Serial:
      return serialPort_.get();
    case store::ChannelKind::TcpServer:
      return serverPort_.get();
    case store::ChannelKind::TcpClient:
      return clientPort_.get();
  }
  return nullptr;
}

bool TfrmZh::AutoOpenEnabled() const { return store::ComSetSettings::load(ctx_.files).autoOpen; }

bool TfrmZh::OpenChannel() {
  endWaitingForDevice();  // an open of any kind replaces the waiting
  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  style_ = static_cast<store::ChannelKind>(*settings.style);
  decoders_.restart(settings.textCodecName());
  ChannelPort* chosen = port(style_);
  return chosen ? chosen->open() : true;
}

void TfrmZh::BtnOpenComClick() {
  opened_ = OpenChannel();
  ShowChannelState(style_, opened_);
}

void TfrmZh::SetStyle(store::ChannelKind style) { style_ = style; }

void TfrmZh::CloseChannel() {
  endWaitingForDevice();
  if (ChannelPort* chosen = port(style_)) chosen->close();
  opened_ = false;
  ShowChannelState(style_, false);
}

// The serial engine gave up on the device: it went away (a USB adapter pulled, a pty master
// closed) or failed. The channel is closed as by the close command, which releases the device,
// and the port waits for the device to come back under its name; 关闭 stays available to end
// the waiting. The log tells when the device went and when it came back, without a box that
// would stop the user.
void TfrmZh::Comm1RequestHangup() {
  if (style_ != store::ChannelKind::Serial || !opened_) return;
  triggerCloseCommand();
  waitForDevice();
  logDeviceNotice(QStringLiteral("========串口已断开========"));
}

void TfrmZh::waitForDevice() {
  serialPort_->awaitReturn();
  ui_.btnCloseCom->setEnabled(true);
}

void TfrmZh::endWaitingForDevice() {
  if (!serialPort_->awaitingReturn()) return;
  serialPort_->stopAwaitingReturn();
  ui_.btnCloseCom->setEnabled(opened_);
}

// The port opened the device again with the settings it had: the channel is open as after 打开.
void TfrmZh::Comm1Reopened() {
  decoders_.restart(store::ComSetSettings::load(ctx_.files).textCodecName());  // a fresh open
  opened_ = true;
  ShowChannelState(style_, opened_);
  logDeviceNotice(QStringLiteral("========串口已重新打开========"));
}

void TfrmZh::ShowChannelState(store::ChannelKind style, bool opened) {
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

  const store::ComSetSettings settings = store::ComSetSettings::load(ctx_.files);
  if (ChannelPort* shown = port(style)) shown->showState(settings, opened);

  sendStyle_ = static_cast<store::Representation>(settings.sendStyle);
  panels_->setText(2, QStringLiteral("发送方式:") + representationName(sendStyle_));
  receiveStyle_ = static_cast<store::Representation>(settings.receiveStyle);
  panels_->setText(3, QStringLiteral("接收方式:") + representationName(receiveStyle_));
  textCodec_ = settings.textCodecName();
  FitStatusPanels();
}

void TfrmZh::FitStatusPanels() { panels_->fitAll(); }

}  // namespace app
