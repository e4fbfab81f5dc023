#include "app/device_return_watch.h"

#include <QSocketNotifier>

namespace app {
namespace {

constexpr int kRetryMs = 1000;

}  // namespace

DeviceReturnWatch::DeviceReturnWatch(std::function<bool()> tryOpen) : tryOpen_(std::move(tryOpen)) {
  retry_.setSingleShot(true);
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] { attempt(); });
}

DeviceReturnWatch::~DeviceReturnWatch() { stop(); }

void DeviceReturnWatch::start(const QString& path) {
  stop();
  waiting_ = true;
  watch_ = platform::DeviceNodeWatch::create(path);
  if (watch_) {
    notifier_ = std::make_unique<QSocketNotifier>(watch_->fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { changed(); });
  }
  retryIfPresent();
}

void DeviceReturnWatch::stop() {
  waiting_ = false;
  retry_.stop();
  if (notifier_) {
    // stop() may run inside the notifier's own signal: the object goes once that has returned.
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
  }
  watch_.reset();
}

void DeviceReturnWatch::changed() {
  watch_->update();
  if (watch_->present()) attempt();
}

void DeviceReturnWatch::attempt() {
  retry_.stop();
  if (!tryOpen_()) retryIfPresent();
}

void DeviceReturnWatch::retryIfPresent() {
  if (waiting_ && (!watch_ || watch_->present())) retry_.start();
}

}  // namespace app
