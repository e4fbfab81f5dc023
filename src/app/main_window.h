#pragma once
// The main window TfrmZh: the controller of everything the user does. It owns one channel
// object of each kind (Comm1 serial, ServerSocket1 TCP server, ClientSocket1 TCP client) and
// uses the one the channel kind Style selects; opening and closing go through OpenChannel and
// CloseChannel, and every open or close ends in ShowChannelState, which brings commands,
// timers and the status bar into line with the channel state (Style, Opened).
// Everything runs on the GUI thread; every handler runs behind the error guard.

#include <QByteArrayView>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/app_context.h"
#include "app/main_window_layout.h"
#include "dialogs/channel_commands.h"

namespace channels {
class TComm;
class TClientSocket;
class TServerSocket;
class TCustomWinSocket;
enum class TErrorEvent;
}  // namespace channels
namespace dialogs {
class TfrmASC;
}

namespace app {

class StatusPanels;
class TrafficLog;

class TfrmZh : public QMainWindow, public dialogs::ChannelCommands {
  Q_OBJECT
 public:
  explicit TfrmZh(AppContext context, QWidget* parent = nullptr);
  ~TfrmZh() override;

  // Controller
  bool AutoOpenEnabled() const;
  bool OpenChannel();
  void ShowChannelState(int style, bool opened) override;
  void SetStyle(int style) override;
  void BtnOpenComClick() override;
  void CloseChannel();
  void FitStatusPanels();

  // Senders
  void SendSingle();
  void SendSequenceRow();
  void FillSequenceGrid();

  int Style() const { return style_; }
  bool Opened() const { return opened_; }
  int SendStyle() const { return sendStyle_; }
  int ReceiveStyle() const { return receiveStyle_; }
  const MainWindowControls& Controls() const { return ui_; }
  StatusPanels& Panels() { return *panels_; }
  TrafficLog& Log() { return *log_; }
  channels::TComm& Comm1() { return *comm1_; }
  channels::TServerSocket& ServerSocket1() { return *serverSocket1_; }
  channels::TClientSocket& ClientSocket1() { return *clientSocket1_; }
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
  void showSerialState(bool opened);
  void showServerState(bool opened);
  void showClientState(bool opened);

  // Writes bytes to the open channel; hex messages go to the serial port one byte per request.
  enum class WritePattern { HexBytes, Text };
  void writeToChannel(QByteArrayView bytes, WritePattern pattern);
  // The send of a message text in the current send representation, after its header (if any).
  void sendMessage(const QString& message);

  void ceksend1Click();
  void ceksend2Click();
  void Timer2Timer();
  void GrdSendDblClick();
  void BtnUpdateClick();

  // TCP channels
  bool OpenClientChannel();
  void CloseClientChannel();
  void sendToServer(QByteArrayView bytes);
  bool OpenServerChannel();
  void CloseServerChannel();
  void receiveFromSocket(channels::TCustomWinSocket& socket);
  void ClientSocket1Error(channels::TCustomWinSocket& socket, int& errorCode);
  void ServerSocket1ClientError(channels::TCustomWinSocket& socket, int& errorCode);
  void triggerCloseCommand();

  AppContext ctx_;
  MainWindowControls ui_;
  std::unique_ptr<StatusPanels> panels_;
  TrafficLog* log_;
  std::unique_ptr<channels::TComm> comm1_;
  std::unique_ptr<channels::TServerSocket> serverSocket1_;
  std::unique_ptr<channels::TClientSocket> clientSocket1_;
  QTimer timer1_;
  QTimer timer2_;
  std::unique_ptr<dialogs::TfrmASC> asciiTable_;
  bool shown_ = false;
  bool clientErrorShown_ = false;    // the client's error event reported during this open
  bool clientDisconnected_ = false;  // the client's connection closed during this open

  int style_ = 0;
  bool opened_ = false;
  int sendStyle_ = 0;
  int receiveStyle_ = 0;
};

}  // namespace app
