#pragma once
// The traffic log: one coloured, time-stamped line per received chunk (green), per sent message
// (blue) and per sequence header (black), in the log view of the main window. It clears itself
// when a chunk arrives while it holds more than 50000 characters (line breaks counting two), and
// offers clear, select all, copy and save. Every writer calls ScrollLogToEnd once before its
// first line, which also moves the keyboard focus into the log. GUI thread only.
// Received lines are kept pending and written to the view at most once per 40 ms frame (at
// once after a quiet spell): under a fast stream the size rule clears the log many times a
// second, only the lines after the last clear ever reach the view, and the view is painted
// once a frame.
// Every reader of the log, and every other writer, writes the pending lines first, so nothing
// can tell the difference but the speed.
// A line sink (a recording) is told every line as it is built, in the order written, received
// lines included that the size rule clears before the view shows them.

#include <QByteArrayView>
#include <QColor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

#include "app/log_line_sink.h"
#include "textview/text_document.h"
#include "store/channel_kinds.h"

class QMenu;

namespace widgets {
class Prompts;
}
namespace platform {
class DesktopShell;
}
namespace codec {
class TextDecoder;
}

namespace textview {
class TextView;
}

namespace app {

inline const QColor kRxColour{0, 128, 0};
inline const QColor kTxColour{0, 0, 255};
inline const QColor kHeaderColour{0, 0, 0};
inline constexpr int kLogSizeLimit = 50000;

// The last line of a saved log: the moment's date in the locale's short format and its time in
// the locale's long format, without the time zone.
QString LogClosingLine(const QDateTime& moment, const QLocale& locale);

// The data text of an RX line: hex text for receive style 0, the bytes as text for 1, decoded by
// the stream's decoder (a zero byte shown as "␀" so nothing after it is hidden, CR LF or a lone
// CR as a line break; a character cut off at the end shows with the next chunk).
QString ReceivedDataText(QByteArrayView bytes, store::Representation receiveStyle,
                         codec::TextDecoder& decoder);

class TrafficLog : public QObject {
  Q_OBJECT
 public:
  // Takes the log view (Memo1) and gives it the context menu PopupMenu2.
  TrafficLog(textview::TextView& view, widgets::Prompts& prompts, platform::DesktopShell& shell);

  void ScrollLogToEnd();
  void AppendLogLine(const QString& text, const QColor& colour);

  // The receive handling of every channel: the size rule, then one RX line for the chunk, its
  // text decoded by the decoder of the stream it came from. Receive styles other than 0 and 1
  // write nothing.
  // The size rule alone: a log over the limit is cleared.
  void ApplySizeLimit();
  void ReceiveChunk(QByteArrayView bytes, store::Representation receiveStyle,
                    codec::TextDecoder& decoder);

  // Length of the log's text with each line break counted as two characters.
  qsizetype TextLength() const;
  // True when the text holds nothing but blanks and control characters.
  bool IsBlank();

  void Clear();
  void SelectAll();
  void Copy();
  // "保存(&S)": asks for a name (proposed yyyymmddhhmmss), writes, opens it in the viewer.
  void S2Click();
  // Writes the log's lines and a closing date-and-time line, CR LF, whole or not at all.
  void SaveTo(const QString& path, const QDateTime& moment);

  QMenu& PopupMenu2() { return *popup_; }

  // Where every line written is told as well; none when null.
  void setLineSink(LogLineSink* sink) { sink_ = sink; }

  // Writes the pending received lines to the view now.
  void flush();

 signals:
  // One RX line was written for a chunk of this many bytes (benchmarks count with it).
  void chunkLogged(qsizetype byteCount);

 private:
  void PopupMenu2Popup();
  void placeCaretAtEnd();
  void scheduleFlush();
  void scrollViewToEnd();

  textview::TextView& view_;
  std::vector<textview::TextLine> pending_;
  qsizetype pendingLength_ = 0;  // text the pending lines add, line breaks counting two
  bool clearPending_ = false;    // the view is to be emptied before the pending lines go in
  bool scrollPending_ = false;
  static constexpr qint64 kFrameMs = 40;      // 25 frames a second
  static constexpr qint64 kFrameSlackMs = 5;  // a line this much early still ends a quiet spell
  QTimer flushTimer_;
  QElapsedTimer sinceFlush_;
  QElapsedTimer sinceChunk_;  // since the last received line
  widgets::Prompts& prompts_;
  platform::DesktopShell& shell_;
  QMenu* popup_;
  LogLineSink* sink_ = nullptr;
};

}  // namespace app
