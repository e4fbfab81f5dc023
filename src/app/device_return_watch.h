#pragma once
// Waits for a lost serial device to come back under the name the user chose and asks for it to
// be opened again: at once when the name appears or changes (a device node's directory watched
// with inotify, platform/device_node_watch_linux.h), and once a second while the name is there
// but the device does not open (still going away, being probed by another program, or not yet
// given its permissions). While the name is absent nothing runs: waiting costs no wake-ups.
// Without inotify (its limits reached) the once-a-second try is all there is.
// GUI thread only.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "platform/device_node_watch_linux.h"

class QSocketNotifier;

namespace app {

class DeviceReturnWatch : public QObject {
 public:
  // `tryOpen` opens the device; true when it did, which ends the waiting. It may call stop().
  explicit DeviceReturnWatch(std::function<bool()> tryOpen);
  ~DeviceReturnWatch() override;

  // Begins waiting for `path`. The first try comes with the first change, or a second later if
  // the name is still there (the device was only just lost).
  void start(const QString& path);
  void stop();
  bool waiting() const { return waiting_; }

 private:
  void changed();
  void attempt();
  void retryIfPresent();

  std::function<bool()> tryOpen_;
  std::optional<platform::DeviceNodeWatch> watch_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer retry_;
  bool waiting_ = false;
};

}  // namespace app
