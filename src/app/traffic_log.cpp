#include "app/traffic_log.h"

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>
#include <algorithm>

#include "app/log_time_stamp.h"
#include "app/main_window_layout.h"
#include "codec/hex_text.h"
#include "codec/text_codec.h"
#include "platform/desktop_shell.h"
#include "store/log_file.h"
#include "textview/text_view.h"
#include "widgets/handler_guard.h"
#include "widgets/prompts.h"

namespace app {

QString LogClosingLine(const QDateTime& moment, const QLocale& locale) {
  // The locale's long time format names the time zone too; the line shows only the clock.
  static const QRegularExpression zone(QStringLiteral("\\s*(?<![A-Za-z'])t+(?![A-Za-z'])\\s*"));
  const QString timeFormat =
      locale.timeFormat(QLocale::LongFormat).replace(zone, QStringLiteral(" ")).trimmed();
  return locale.toString(moment.date(), QLocale::ShortFormat) + u' ' +
         locale.toString(moment.time(), timeFormat);
}

QString ReceivedDataText(QByteArrayView bytes, store::Representation receiveStyle,
                         codec::TextDecoder& decoder) {
  if (receiveStyle == store::Representation::Hex) return codec::FramedHexText({}, bytes, {});
  QString text = decoder.decode(bytes);
  text.replace(QChar(u'\0'), QChar(0x2400));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

TrafficLog::TrafficLog(textview::TextView& view, widgets::Prompts& prompts,
                       platform::DesktopShell& shell)
    : QObject(&view), view_(view), prompts_(prompts), shell_(shell), popup_(new QMenu(&view)) {
  popup_->setObjectName(QStringLiteral("PopupMenu2"));
  connect(AddNamedAction(*popup_, "MenuItem1", QStringLiteral("清除报文(&C)")), &QAction::triggered,
          this, &TrafficLog::Clear);
  connect(AddNamedAction(*popup_, "MenuItem2", QStringLiteral("全选(&A)")), &QAction::triggered,
          this, &TrafficLog::SelectAll);
  connect(AddNamedAction(*popup_, "MenuItem3", QStringLiteral("复制(&F)")), &QAction::triggered,
          this, &TrafficLog::Copy);
  connect(AddNamedAction(*popup_, "MenuItem4", QStringLiteral("保存(&S)")), &QAction::triggered,
          this, &TrafficLog::S2Click);
  flushTimer_.setSingleShot(true);
  flushTimer_.setTimerType(Qt::PreciseTimer);
  connect(&flushTimer_, &QTimer::timeout, this, &TrafficLog::flush);
  view_.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PopupMenu2Popup();
    // Qt opens a menu without a visible entry as an unseen popup that still takes the next
    // click and keys (a typed C would clear the log): an empty menu opens as nothing at all.
    if (!popup_->isEmpty()) popup_->popup(view_.mapToGlobal(at));
  });
}

void TrafficLog::ScrollLogToEnd() {
  flush();
  scrollViewToEnd();
}

void TrafficLog::scrollViewToEnd() {
  view_.setFocus(Qt::OtherFocusReason);
  placeCaretAtEnd();
}

void TrafficLog::AppendLogLine(const QString& text, const QColor& colour) {
  if (sink_) sink_->lineWritten(text);
  flush();
  view_.document().appendLine(text, colour);
  placeCaretAtEnd();
}

void TrafficLog::placeCaretAtEnd() {
  view_.moveCaretToEnd();
  view_.ensureCaretVisible();
}

void TrafficLog::ApplySizeLimit() {
  if (TextLength() <= kLogSizeLimit) return;
  pending_.clear();
  pendingLength_ = 0;
  clearPending_ = true;
  scheduleFlush();
}

void TrafficLog::ReceiveChunk(QByteArrayView bytes, store::Representation receiveStyle,
                              codec::TextDecoder& decoder) {
  ApplySizeLimit();
  if (bytes.isEmpty() || !store::IsListed(receiveStyle)) return;
  scrollPending_ = true;
  const QString stamp = QStringLiteral(" (") + LogTimeStamp() + u')';
  // A hex line is made in one piece: a long one costs no copies.
  const QString line =
      receiveStyle == store::Representation::Hex
          ? codec::FramedHexText(u"RX:", bytes, stamp)
          : QStringLiteral("RX:") + ReceivedDataText(bytes, receiveStyle, decoder) + stamp;
  if (TextLength() > 0) pendingLength_ += 2;
  // Qt's vectorised search first: a received line seldom holds a line feed.
  pendingLength_ += line.size() + (line.contains(u'\n') ? line.count(u'\n') : 0);
  if (sink_) sink_->lineWritten(line);
  pending_.push_back({line, kRxColour});
  scheduleFlush();
  emit chunkLogged(bytes.size());
}

void TrafficLog::scheduleFlush() {
  const qint64 sinceLastChunk = sinceChunk_.isValid() ? sinceChunk_.elapsed() : kFrameMs;
  sinceChunk_.start();
  if (flushTimer_.isActive()) return;
  // A line after a quiet spell (a frame without a line, or without a flush) is shown at once; a
  // fast stream is shown once per frame. Measured from the last flush alone, a device that
  // writes a line a little less often than once a frame would see each line wait for the frame
  // after the one before: shown most of a frame late, each line waking the window twice. A
  // device that writes once a frame has its lines arrive a little early or late by turns, so a
  // line nearly a frame after the one before counts as after a quiet spell too: waiting the last
  // ms of the frame would cost the window a wake-up and show nothing sooner.
  const qint64 sinceLastFlush = sinceFlush_.isValid() ? sinceFlush_.elapsed() : kFrameMs;
  const qint64 wait = sinceLastChunk >= kFrameMs - kFrameSlackMs ? 0 : kFrameMs - sinceLastFlush;
  flushTimer_.start(static_cast<int>(std::max<qint64>(0, wait)));
}

void TrafficLog::flush() {
  if (!clearPending_ && pending_.empty() && !scrollPending_) return;
  flushTimer_.stop();
  sinceFlush_.start();
  if (clearPending_) view_.clear();
  view_.document().appendLines(pending_);
  pending_.clear();
  pendingLength_ = 0;
  clearPending_ = false;
  if (std::exchange(scrollPending_, false)) view_.setFocus(Qt::OtherFocusReason);
  placeCaretAtEnd();
}

qsizetype TrafficLog::TextLength() const {
  if (clearPending_) return pendingLength_;
  // The log counts a line break as two characters, CR and LF.
  const textview::TextDocument& document = view_.document();
  return document.plainTextLength() + (document.lineCount() - 1) + pendingLength_;
}

bool TrafficLog::IsBlank() {
  flush();
  const textview::TextDocument& document = view_.document();
  for (int line = 0; line < document.lineCount(); ++line) {
    for (QChar c : document.lineText(line)) {
      if (c.unicode() > 32) return false;
    }
  }
  return true;
}

void TrafficLog::Clear() {
  flush();
  view_.clear();
}

void TrafficLog::SelectAll() {
  flush();
  view_.selectAll();
}

void TrafficLog::Copy() {
  flush();
  view_.copy();
}

void TrafficLog::S2Click() {
  widgets::RunGuarded(prompts_, view_.window(), [this] {
    const QDateTime moment = QDateTime::currentDateTime();
    widgets::FileDialogRequest request;
    request.proposedName = moment.toString(QStringLiteral("yyyyMMddHHmmss"));
    request.filter = QStringLiteral("文本文件*.txt (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const auto chosen = prompts_.saveFileName(view_.window(), request);
    if (!chosen) return;
    SaveTo(*chosen, moment);
    shell_.openWithDefaultHandler(*chosen);
  });
}

void TrafficLog::SaveTo(const QString& path, const QDateTime& moment) {
  flush();
  QStringList lines;
  const textview::TextDocument& document = view_.document();
  lines.reserve(document.lineCount() + 1);
  for (int line = 0; line < document.lineCount(); ++line) lines.append(document.lineText(line));
  lines.append(LogClosingLine(moment, QLocale::system()));
  store::WriteLogFile(path, lines);
}

void TrafficLog::PopupMenu2Popup() {
  const bool show = !IsBlank();
  for (QAction* action : popup_->actions()) action->setVisible(show);
}

}  // namespace app
