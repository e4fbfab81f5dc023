// The two senders of the main window: the single message of the first page (once or at an
// interval) and the message list of the second page (the selected row, once, at an interval,
// or stepping through the rows). Both write to the open channel and echo a blue TX line.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/log_time_stamp.h"
#include "textview/text_view.h"
#include "app/main_window.h"
#include "app/traffic_log.h"
#include "codec/hex_text.h"
#include "dialogs/define_send.h"
#include "store/message_list_file.h"
#include "widgets/form_size.h"
#include "widgets/integer_spin_edit.h"
#include "widgets/message_grid.h"
#include "widgets/message_grid_adapter.h"

namespace app {
namespace {

QString txLine(const QString& data) {
  return QStringLiteral("TX:") + data + QStringLiteral(" (") + LogTimeStamp() + u')';
}

// A timer interval of 0 or less never fires, as an unset interval would not.
void armTimer(QTimer& timer, int interval, bool on) {
  timer.setInterval(std::max(interval, 0));
  if (on && interval > 0)
    timer.start();
  else
    timer.stop();
}

}  // namespace

void TfrmZh::writeToChannel(QByteArrayView bytes, WritePattern pattern) {
  if (ChannelPort* open = port(style_)) open->write(bytes, pattern);
}

void TfrmZh::sendMessage(const QString& message) {
  if (sendStyle_ == store::Representation::Hex) {
    const QByteArray hex = codec::UpperCaseAscii(codec::NormalizeHexText(message.toUtf8()));
    if (hex.isEmpty()) return;
    const bool wasOpen = opened_;
    writeToChannel(codec::HexTextToBytes(hex), WritePattern::HexBytes);
    // A send the channel could not take closes it (and says so): those bytes were never sent.
    if (wasOpen && !opened_) return;
    log_->AppendLogLine(txLine(QString::fromLatin1(hex)), kTxColour);
  } else if (sendStyle_ == store::Representation::Ascii) {
    if (message.isEmpty()) return;
    log_->AppendLogLine(txLine(message), kTxColour);
    QString wire = message;
    wire.replace(u'\n', QStringLiteral("\r\n"));  // the editor's lines end in CR LF on the wire
    writeToChannel(wire.toUtf8(), WritePattern::Text);
  }
}

void TfrmZh::SendSingle() {
  const QString message = ui_.Memo2->toPlainText();
  log_->ScrollLogToEnd();
  sendMessage(message);
}

void TfrmZh::ceksend1Click() {
  const bool ticked = ui_.ceksend1->isChecked();
  ui_.Memo1->setFocus(Qt::OtherFocusReason);
  armTimer(timer1_, ui_.txtInteval1->value(), ticked && opened_);
  ui_.txtInteval1->setEnabled(!ticked);
  ui_.BtnSend1->setEnabled(!ticked && opened_);
}

void TfrmZh::SendSequenceRow() {
  const widgets::TPowerStringGrid& grid = *ui_.GrdSend;
  log_->ScrollLogToEnd();
  log_->AppendLogLine(
      QStringLiteral("========") + grid.Cells(1, grid.Row()) + QStringLiteral("========"),
      kHeaderColour);
  const QString content = grid.Cells(2, grid.Row());
  if (content.isEmpty()) return;
  sendMessage(content);
}

void TfrmZh::ceksend2Click() {
  const bool ticked = ui_.ceksend2->isChecked();
  armTimer(timer2_, ui_.txtInteval2->value(), ticked && opened_);
  ui_.txtInteval2->setEnabled(!ticked);
  ui_.BtnSend2->setEnabled(!ticked && opened_);
  ui_.BtnUpdate->setEnabled(!ticked);
}

void TfrmZh::Timer2Timer() {
  SendSequenceRow();
  widgets::TPowerStringGrid& grid = *ui_.GrdSend;
  // With no message rows there is nothing to step to.
  if (ui_.cekCircle->isChecked() && grid.RowCount() > 1) {
    grid.setRow(grid.Row() % (grid.RowCount() - 1) + 1);
  }
}

void TfrmZh::GrdSendDblClick() {
  if (ui_.BtnSend2->isEnabled()) SendSequenceRow();
}

void TfrmZh::BtnUpdateClick() {
  widgets::StoreFormSize(*this, ctx_.files, QStringLiteral("frmZh"));
  {
    dialogs::TfrmDefineSend editor(this, ctx_.prompts, ctx_.files);
    editor.exec();
  }
  FillSequenceGrid();
}

void TfrmZh::FillSequenceGrid() {
  widgets::GridAdapter grid(*ui_.GrdSend);
  store::LoadGridsFromFile({&grid}, store::CurrentSendFileName(ctx_.files),
                           QStringLiteral("default.sen"), ctx_.files);
  store::FitGridColumns(grid, {1});
}

}  // namespace app
