#pragma once
// The main window TfrmZh: the controller of everything the user does. It owns one channel port
// of each kind (serial, TCP server, TCP client) and uses the one the channel kind Style
// selects; opening and closing go through OpenChannel and
// CloseChannel, and every open or close ends in ShowChannelState, which brings commands,
// timers and the status bar into line with the channel state (Style, Opened).
// Everything runs on the GUI thread; every handler runs behind the error guard.

#include <QByteArrayView>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/app_context.h"
#include "app/channel_port.h"
#include "app/main_window_layout.h"
#include "app/receive_decoders.h"
#include "dialogs/channel_commands.h"
#include "store/channel_kinds.h"

namespace channels {
class TCustomWinSocket;
}  // namespace channels
namespace dialogs {
class TfrmASC;
}

namespace app {

class LogRecording;
class StatusPanels;
class TrafficLog;
class SerialChannelPort;
class TcpServerChannelPort;
class TcpClientChannelPort;

class TfrmZh : public QMainWindow, public dialogs::ChannelCommands {
  Q_OBJECT
 public:
  explicit TfrmZh(AppContext context, QWidget* parent = nullptr);
  ~TfrmZh() override;

  // Controller
  bool AutoOpenEnabled() const;
  bool OpenChannel();
  void ShowChannelState(store::ChannelKind style, bool opened) override;
  void SetStyle(store::ChannelKind style) override;
  void BtnOpenComClick() override;
  void CloseChannel();
  void FitStatusPanels();

  // Senders
  void SendSingle();
  void SendSequenceRow();
  void FillSequenceGrid();

  store::ChannelKind Style() const { return style_; }
  bool Opened() const { return opened_; }
  store::Representation SendStyle() const { return sendStyle_; }
  store::Representation ReceiveStyle() const { return receiveStyle_; }
  const MainWindowControls& Controls() const { return ui_; }
  StatusPanels& Panels() { return *panels_; }
  TrafficLog& Log() { return *log_; }
  LogRecording& Recording() { return *recording_; }
  SerialChannelPort& SerialPort() { return *serialPort_; }
  TcpServerChannelPort& ServerPort() { return *serverPort_; }
  TcpClientChannelPort& ClientPort() { return *clientPort_; }
  QTimer& Timer1() { return timer1_; }
  QTimer& Timer2() { return timer2_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectCommands();
  void connectChannels();
  void guarded(const std::function<void()>& handler);

  void FormCreate();
  void FormShow();
  void FormClose();
  void FormResize();
  void PageControl1Change();
  void btnPortSetClick();
  void ASCIIA1Click();
  void J2Click();
  void N1Click();
  void BtnAboutClick();

  void Comm1RequestHangup();
  void Comm1Reopened();
  // Waits for the lost serial device to come back; 关闭 stays enabled to end the waiting.
  void waitForDevice();
  // Ends the waiting for a lost serial device, if any: 关闭 follows the channel state again.
  void endWaitingForDevice();
  // The port of a channel kind; none for a kind outside the list.
  ChannelPort* port(store::ChannelKind kind) const;
  PortServices portServices();

  // Writes bytes to the open channel in the pattern of the message's representation.
  void writeToChannel(QByteArrayView bytes, WritePattern pattern);
  // A message text made ready in the current send representation: its bytes, how they go on
  // the wire and the text of its TX line.
  struct OutgoingMessage {
    QByteArray bytes;
    WritePattern pattern;
    QString echo;
  };
  // Nothing when the text gives nothing to send. Throws, with nothing sent or logged, when the
  // text holds a character the chosen character set cannot represent.
  std::optional<OutgoingMessage> prepareMessage(const QString& message);
  // The send and its TX line, after the message's header (if any).
  void sendMessage(const OutgoingMessage& message);

  void ceksend1Click();
  void ceksend2Click();
  void Timer2Timer();
  void GrdSendDblClick();
  void BtnUpdateClick();

  void receiveFromSocket(channels::TCustomWinSocket& socket);
  void logDeviceNotice(const QString& text);
  void triggerCloseCommand();

  AppContext ctx_;
  MainWindowControls ui_;
  std::unique_ptr<StatusPanels> panels_;
  TrafficLog* log_;
  std::unique_ptr<LogRecording> recording_;
  std::unique_ptr<SerialChannelPort> serialPort_;
  std::unique_ptr<TcpServerChannelPort> serverPort_;
  std::unique_ptr<TcpClientChannelPort> clientPort_;
  QTimer timer1_;
  QTimer timer2_;
  std::unique_ptr<dialogs::TfrmASC> asciiTable_;
  bool shown_ = false;

  store::ChannelKind style_ = store::ChannelKind::Serial;
  bool opened_ = false;
  store::Representation sendStyle_ = store::Representation::Hex;
  store::Representation receiveStyle_ = store::Representation::Hex;
  QString textCodec_ = codec::kUtf8;  // the character set of ASCII sends
  ReceiveDecoders decoders_;          // of ASCII receives, fresh at every open
};

}  // namespace app
