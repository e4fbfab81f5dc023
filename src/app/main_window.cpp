#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include "app/log_recording.h"
#include "app/serial_channel_port.h"
#include "app/status_panels.h"
#include "app/tcp_client_channel_port.h"
#include "app/tcp_server_channel_port.h"
#include "app/traffic_log.h"
#include "dialogs/about.h"
#include "dialogs/ascii_table.h"
#include "dialogs/comset.h"
#include "store/comset_settings.h"
#include "store/ini_file.h"
#include "textview/text_view.h"
#include "widgets/form_size.h"
#include "widgets/handler_guard.h"
#include "widgets/integer_spin_edit.h"
#include "widgets/message_grid.h"

namespace app {
namespace {

const QString kFormSection = QStringLiteral("frmZh");
const QString kDefineSend = QStringLiteral("DefineSend");
const QString kZh = QStringLiteral("zh");
const QString kDbw = QStringLiteral("dbw");
constexpr int kCreatedPageHeight = 186;

}  // namespace

TfrmZh::TfrmZh(AppContext context, QWidget* parent)
    : QMainWindow(parent),
      ctx_(context),
      ui_(BuildMainWindowLayout(*this)),
      panels_(std::make_unique<StatusPanels>(*statusBar())),
      log_(new TrafficLog(*ui_.Memo1, ctx_.prompts, ctx_.shell)),
      recording_(std::make_unique<LogRecording>(*this, *ui_.btnRecord, *log_, ctx_)),
      serialPort_(std::make_unique<SerialChannelPort>(portServices())),
      serverPort_(std::make_unique<TcpServerChannelPort>(portServices())),
      clientPort_(std::make_unique<TcpClientChannelPort>(portServices())) {
  setWindowTitle(widgets::kProgramTitle);
  connectCommands();
  connectChannels();
  FormCreate();
}

TfrmZh::~TfrmZh() { serialPort_->close(); }

void TfrmZh::guarded(const std::function<void()>& handler) {
  widgets::RunGuarded(ctx_.prompts, this, handler);
}

void TfrmZh::connectCommands() {
  auto on = [this](QAction* action, void (TfrmZh::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { guarded([&] { (this->*handler)(); }); });
  };
  on(ui_.BtnOpenCom, &TfrmZh::BtnOpenComClick);
  on(ui_.btnCloseCom, &TfrmZh::CloseChannel);
  on(ui_.btnPortSet, &TfrmZh::btnPortSetClick);
  connect(ui_.BtnClear, &QAction::triggered, log_, &TrafficLog::Clear);
  on(ui_.ASCIIA1, &TfrmZh::ASCIIA1Click);
  on(ui_.J2, &TfrmZh::J2Click);
  on(ui_.N1, &TfrmZh::N1Click);
  on(ui_.BtnAbout, &TfrmZh::BtnAboutClick);
  connect(ui_.btnExit, &QAction::triggered, this, &QWidget::close);
  // The close command keeps its check mark whatever the user does.
  connect(ui_.btnCloseCom, &QAction::toggled, ui_.btnCloseCom,
          [this] { ui_.btnCloseCom->setChecked(true); });

  connect(ui_.PageControl1, &QTabWidget::currentChanged, this,
          [this] { guarded([this] { PageControl1Change(); }); });
  connect(ui_.BtnSend1, &QToolButton::clicked, this, [this] { guarded([this] { SendSingle(); }); });
  connect(ui_.ceksend1, &QCheckBox::toggled, this,
          [this] { guarded([this] { ceksend1Click(); }); });
  connect(&timer1_, &QTimer::timeout, this, [this] { guarded([this] { SendSingle(); }); });
  connect(ui_.BtnSend2, &QToolButton::clicked, this,
          [this] { guarded([this] { SendSequenceRow(); }); });
  connect(ui_.ceksend2, &QCheckBox::toggled, this,
          [this] { guarded([this] { ceksend2Click(); }); });
  connect(&timer2_, &QTimer::timeout, this, [this] { guarded([this] { Timer2Timer(); }); });
  connect(ui_.BtnUpdate, &QToolButton::clicked, this,
          [this] { guarded([this] { BtnUpdateClick(); }); });
  // The grid's own resize, not the window's: a page shown for the first time is laid out only
  // then, and the rule needs the grid's real width.
  connect(ui_.GrdSend, &widgets::TPowerStringGrid::Resized, this, &TfrmZh::FormResize);
  connect(ui_.GrdSend, &widgets::TPowerStringGrid::DblClick, this,
          [this] { guarded([this] { GrdSendDblClick(); }); });
}

void TfrmZh::FormCreate() {
  const store::IniFile ini(ctx_.files.comsetIni());
  ui_.txtInteval1->setValue(
      ini.readInteger(kDefineSend, QStringLiteral("TimeInteval1"), ui_.txtInteval1->value()));
  ui_.txtInteval2->setValue(
      ini.readInteger(kDefineSend, QStringLiteral("TimeInteval2"), ui_.txtInteval2->value()));
  ui_.cekCircle->setChecked(
      ini.readBool(kDefineSend, QStringLiteral("isCircle"), ui_.cekCircle->isChecked()));
  const int page =
      ini.readInteger(kZh, QStringLiteral("PageIndex"), ui_.PageControl1->currentIndex());
  if (page >= 0 && page < ui_.PageControl1->count()) ui_.PageControl1->setCurrentIndex(page);
  const int height = ini.readInteger(kZh, QStringLiteral("PageHight"), kCreatedPageHeight);
  ui_.Splitter1->setSizes({height, this->height() - height});
  ui_.Memo2->setPlainText(store::UnescapeOneLine(
      ini.readString(kDbw, QStringLiteral("content"), ui_.Memo2->toPlainText())));
}

void TfrmZh::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TfrmZh::FormShow() {
  const int pageHeight = ui_.Splitter1->sizes().value(0, kCreatedPageHeight);
  guarded([this] { widgets::RestoreFormSize(*this, ctx_.files, kFormSection); });
  ui_.Splitter1->setSizes({pageHeight, height() - pageHeight});
  guarded([this] { FillSequenceGrid(); });
  // Before the channel opens, so what it receives from the first byte on is recorded.
  guarded([this] { recording_->resume(); });
  style_ = static_cast<store::ChannelKind>(*store::ComSetSettings::load(ctx_.files).style);
  opened_ = false;
  // A channel that cannot be opened at start-up is reported, and the window still shows the
  // closed state instead of empty panels.
  if (AutoOpenEnabled()) guarded([this] { opened_ = OpenChannel(); });
  guarded([this] { ShowChannelState(style_, opened_); });
}

void TfrmZh::closeEvent(QCloseEvent* event) {
  // A failure while storing is reported, but never keeps the user from leaving.
  guarded([this] { FormClose(); });
  serialPort_->close();
  recording_->windowClosing();
  event->accept();
}

void TfrmZh::FormClose() {
  const store::IniFile ini(ctx_.files.comsetIni());
  ini.writeInteger(kDefineSend, QStringLiteral("TimeInteval1"), ui_.txtInteval1->value());
  ini.writeInteger(kDefineSend, QStringLiteral("TimeInteval2"), ui_.txtInteval2->value());
  ini.writeBool(kDefineSend, QStringLiteral("isCircle"), ui_.cekCircle->isChecked());
  ini.writeInteger(kZh, QStringLiteral("PageIndex"), ui_.PageControl1->currentIndex());
  ini.writeInteger(kZh, QStringLiteral("PageHight"), ui_.PageControl1->height());
  ini.writeString(kDbw, QStringLiteral("content"), store::EscapeOneLine(ui_.Memo2->toPlainText()));
  if (!log_->IsBlank()) log_->SaveTo(ctx_.files.defaultLogFile(), QDateTime::currentDateTime());
  widgets::StoreFormSize(*this, ctx_.files, kFormSection);
  serialPort_->close();
}

void TfrmZh::FormResize() {
  widgets::TPowerStringGrid& grid = *ui_.GrdSend;
  grid.setColWidths(2, std::max(0, grid.width() - grid.ColWidths(0) - grid.ColWidths(1) - 30));
}

void TfrmZh::PageControl1Change() {
  if (ui_.ceksend1->isChecked()) ui_.ceksend1->setChecked(false);
  if (ui_.ceksend2->isChecked()) ui_.ceksend2->setChecked(false);
}

void TfrmZh::btnPortSetClick() {
  // The dialog never meets an open channel: a lost device is not waited for while it shows. New
  // settings end the waiting, since the device would come back with the old ones.
  const bool waiting = serialPort_->awaitingReturn();
  endWaitingForDevice();
  dialogs::TfrmComSet dialog(this, *this, ctx_.prompts, ctx_.files);
  if (dialog.exec() != QDialog::Accepted && waiting) waitForDevice();
}

void TfrmZh::ASCIIA1Click() {
  if (!asciiTable_) asciiTable_ = std::make_unique<dialogs::TfrmASC>(ctx_.files, ctx_.prompts);
  asciiTable_->show();
  asciiTable_->raise();
  asciiTable_->activateWindow();
}

void TfrmZh::J2Click() { ctx_.shell.startFirstInstalled(dialogs::CalculatorPrograms()); }

void TfrmZh::N1Click() { ctx_.shell.openWithDefaultHandler(ctx_.files.helpFile()); }

void TfrmZh::BtnAboutClick() {
  dialogs::TAboutfrm dialog(this, ctx_.shell, ctx_.prompts);
  dialog.exec();
}

}  // namespace app
