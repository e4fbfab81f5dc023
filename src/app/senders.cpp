// The two senders of the main window: the single message of the first page (once or at an
// interval) and the message list of the second page (the selected row, once, at an interval,
// or stepping through the rows). Both write to the open channel and echo a blue TX line.
#include <QCheckBox>
#include <QToolButton>
#include <stdexcept>

#include "app/log_time_stamp.h"
#include "textview/text_view.h"
#include "app/main_window.h"
#include "app/traffic_log.h"
#include "codec/hex_text.h"
#include "codec/text_codec.h"
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

// The error of a message holding a character the chosen character set has no bytes for. A lone
// surrogate has no glyph of its own (nor survives the error's UTF-8): it shows as U+FFFD.
QString UnencodableText(char32_t character, const QString& charset) {
  const char32_t shown =
      QChar::isSurrogate(character) ? char32_t(QChar::ReplacementCharacter) : character;
  return QStringLiteral("报文未发送：无法用 %1 编码字符“%2”(U+%3)")
      .arg(charset, QString::fromUcs4(&shown, 1),
           QString::number(character, 16).toUpper().rightJustified(4, u'0'));
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

std::optional<TfrmZh::OutgoingMessage> TfrmZh::prepareMessage(const QString& message) {
  if (sendStyle_ == store::Representation::Hex) {
    const QByteArray hex = codec::UpperCaseAscii(codec::NormalizeHexText(message.toUtf8()));
    if (hex.isEmpty()) return std::nullopt;
    return OutgoingMessage{codec::HexTextToBytes(hex), WritePattern::HexBytes,
                           QString::fromLatin1(hex)};
  }
  if (sendStyle_ != store::Representation::Ascii || message.isEmpty()) return std::nullopt;
  QString wire = message;
  wire.replace(u'\n', QStringLiteral("\r\n"));  // the editor's lines end in CR LF on the wire
  codec::EncodedText encoded = codec::EncodeText(wire, textCodec_);
  if (encoded.unrepresentable) {
    // Continuous sending stops first: the error box runs the event loop, where the send timers
    // would tick and fail again.
    ui_.ceksend1->setChecked(false);
    ui_.ceksend2->setChecked(false);
    throw std::runtime_error(UnencodableText(*encoded.unrepresentable, textCodec_).toStdString());
  }
  return OutgoingMessage{std::move(encoded.bytes), WritePattern::Text, message};
}

void TfrmZh::sendMessage(const OutgoingMessage& message) {
  // A hex message is echoed after the send, text before it.
  if (message.pattern == WritePattern::Text) log_->AppendLogLine(txLine(message.echo), kTxColour);
  const bool wasOpen = opened_;
  writeToChannel(message.bytes, message.pattern);
  // A send the channel could not take closes it (and says so): those bytes were never sent.
  if (message.pattern == WritePattern::HexBytes && !(wasOpen && !opened_)) {
    log_->AppendLogLine(txLine(message.echo), kTxColour);
  }
}

void TfrmZh::SendSingle() {
  const std::optional<OutgoingMessage> message = prepareMessage(ui_.Memo2->toPlainText());
  log_->ScrollLogToEnd();
  if (message) sendMessage(*message);
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
  // Prepared first: content that cannot be sent writes not even the header.
  const std::optional<OutgoingMessage> message = prepareMessage(grid.Cells(2, grid.Row()));
  log_->ScrollLogToEnd();
  log_->AppendLogLine(
      QStringLiteral("========") + grid.Cells(1, grid.Row()) + QStringLiteral("========"),
      kHeaderColour);
  if (message) sendMessage(*message);
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
