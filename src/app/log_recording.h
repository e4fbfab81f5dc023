#pragma once
// "记录到文件(&L)...": every line the traffic log writes also goes into a file, as the saved log
// would hold it (UTF-8, CR LF), whatever the size rule or the user later clears. Ticking the
// command asks for the file (proposed as 报文记录-yyyyMMdd-HHmmss.txt in the log directory; a file
// that exists is continued) and records into it; unticking stops. While it records, the window's
// title ends in " - 记录中". [Record] Enabled and File in comset.ini keep the choice: a start with
// Enabled=1 records into File again. A file that fails ends the recording: the command is
// unticked, Enabled=0 stored, and the error box names the file, the system's reason and what was
// not recorded; the log and the channel go on as before.
// GUI thread only; the writing runs on the recorder's own thread (store/log_recorder.h).

#include <QObject>
#include <memory>

#include "app/app_context.h"
#include "app/log_line_sink.h"
#include "store/log_recorder.h"

class QAction;
class QWidget;

namespace app {

class TrafficLog;

class LogRecording final : public QObject, public LogLineSink {
  Q_OBJECT
 public:
  // Takes the checkable command and hooks itself into the log.
  LogRecording(QWidget& window, QAction& command, TrafficLog& log, AppContext context);
  ~LogRecording() override;

  bool recording() const { return recorder_ != nullptr; }
  // At start-up: records into File when Enabled=1.
  void resume();
  // The window closes: the recording ends and stays enabled for the next start, unless it failed.
  void windowClosing();

  void lineWritten(const QString& text) override;

 private:
  void btnRecordClick();
  void begin(const QString& path);
  void end(bool stayEnabled);
  void recorderFailed(int generation);
  void showState();

  QWidget& window_;
  QAction& command_;
  TrafficLog& log_;
  AppContext ctx_;
  std::unique_ptr<store::LogRecorder> recorder_;
  int generation_ = 0;  // which recorder a failure note is about
};

}  // namespace app
