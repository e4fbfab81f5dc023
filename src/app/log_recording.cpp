#include "app/log_recording.h"

#include <QAction>
#include <QDateTime>
#include <QWidget>

#include "textview/text_document.h"
#include "app/traffic_log.h"
#include "store/log_file.h"
#include "store/record_settings.h"
#include "widgets/handler_guard.h"

namespace app {

LogRecording::LogRecording(QWidget& window, QAction& command, TrafficLog& log, AppContext context)
    : window_(window), command_(command), log_(log), ctx_(context) {
  command_.setCheckable(true);
  connect(&command_, &QAction::triggered, this, &LogRecording::btnRecordClick);
  log_.setLineSink(this);
}

LogRecording::~LogRecording() { log_.setLineSink(nullptr); }

void LogRecording::resume() {
  const store::RecordSettings stored = store::RecordSettings::load(ctx_.files);
  if (stored.enabled && !stored.file.isEmpty()) begin(stored.file);
  showState();
}

void LogRecording::windowClosing() {
  if (recording()) end(true);
}

void LogRecording::lineWritten(const QString& text) {
  if (recorder_) recorder_->record(store::LogFileBytes(textview::SplitIntoLines(text)));
}

void LogRecording::btnRecordClick() {
  if (recording()) {
    end(false);
  } else {
    widgets::RunGuarded(ctx_.prompts, &window_, [this] {
      widgets::FileDialogRequest request;
      request.caption = QStringLiteral("记录到文件");
      request.directory = ctx_.files.logDir;
      request.proposedName = QStringLiteral("报文记录-") +
                             QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss") +
                             QStringLiteral(".txt");
      request.filter = QStringLiteral("文本文件*.txt (*.txt)");
      request.defaultSuffix = QStringLiteral("txt");
      // The chosen file is continued, not replaced: there is nothing to confirm.
      request.confirmOverwrite = false;
      const auto chosen = ctx_.prompts.saveFileName(&window_, request);
      if (!chosen) return;
      store::RecordSettings{true, *chosen}.save(ctx_.files);
      begin(*chosen);
    });
  }
  showState();
}

void LogRecording::begin(const QString& path) {
  const int generation = ++generation_;
  recorder_ = std::make_unique<store::LogRecorder>(path, [this, generation] {
    // On the recorder's thread, which ends before this object does: only a note to the GUI
    // thread, which Qt drops should this object go first.
    QMetaObject::invokeMethod(
        this, [this, generation] { recorderFailed(generation); }, Qt::QueuedConnection);
  });
}

void LogRecording::end(bool stayEnabled) {
  const QString path = recorder_->path();
  const std::optional<store::RecordFailure> failure = recorder_->stop();
  recorder_.reset();
  showState();
  if (!stayEnabled || failure) {
    widgets::RunGuarded(ctx_.prompts, &window_, [&] {
      store::RecordSettings{false, path}.save(ctx_.files);
    });
  }
  if (failure) {
    widgets::ShowErrorBox(ctx_.prompts, &window_, store::RecordFailureMessage(*failure));
  }
}

void LogRecording::recorderFailed(int generation) {
  if (recording() && generation == generation_) end(false);
}

void LogRecording::showState() {
  command_.setChecked(recording());
  window_.setWindowTitle(recording() ? widgets::kProgramTitle + QStringLiteral(" - 记录中")
                                     : widgets::kProgramTitle);
}

}  // namespace app
