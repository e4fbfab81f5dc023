#pragma once
// SIGTERM and SIGINT as a call on the GUI thread, so that a session logout, `kill` or Ctrl+C in
// a terminal closes the program as its window's close would: settings and the log are saved.
// The signal handler only writes a byte to a pipe; a socket notifier reads it in the event
// loop and makes the call there. One object per process, created after the application object.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform {

class TerminationSignals final : public QObject {
 public:
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals() override;  // the signals' default actions come back

 private:
  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform
