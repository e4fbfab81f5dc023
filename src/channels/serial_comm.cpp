// TComm: properties, OpenPort/ClosePort, the transmit hand-off and the delivery of the workers'
// notifications on the owning thread. The workers are in serial_read_thread.cpp and
// serial_write_thread.cpp.

#include "channels/serial_comm.h"

#include <QtGlobal>
#include <chrono>
#include <exception>
#include <system_error>

#include "channels/serial_session.h"
#include "platform/serial_device_linux.h"
#include "platform/serial_line_settings_termios2.h"

namespace channels {

namespace {

// No exception may cross Qt's event loop: a handler that throws is reported here and the
// notification counts as delivered. (The main window guards its own handlers already.)
template <typename Fn>
void runHandler(const char* event, Fn&& fn) noexcept {
  try {
    fn();
  } catch (const std::exception& e) {
    qCritical("TComm: the %s handler failed: %s", event, e.what());
  } catch (...) {
    qCritical("TComm: the %s handler failed", event);
  }
}

}  // namespace

QString DevicePathForCommName(const QString& commName) {
  if (commName.contains(QLatin1Char('/'))) return commName;
  QString name = commName;
  // The Win32 spelling for COM10 and above.
  if (name.startsWith(QLatin1String("\\\\.\\"))) name = name.mid(4);
  if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && name.size() > 3) {
    bool digitsOnly = true;
    for (qsizetype i = 3; i < name.size(); ++i) digitsOnly = digitsOnly && name.at(i).isDigit();
    bool ok = false;
    const uint number = name.mid(3).toUInt(&ok);
    if (digitsOnly && ok && number >= 1) return QStringLiteral("/dev/ttyS%1").arg(number - 1);
  }
  return QStringLiteral("/dev/") + name;
}

// --- Session lifecycle -------------------------------------------------------------------

TComm::Session::Session(TComm& owner, platform::UniqueFd device)
    : owner(owner),
      device(std::move(device)),
      countersAtOpen(platform::readSerialCounters(this->device.get())) {}

TComm::Session::~Session() {
  stop();
  platform::closeSerialDevice(device);
}

bool TComm::Session::createEvents() {
  closeEvent = platform::EventFd::create();
  txWake = platform::EventFd::create();
  std::optional<platform::EventFd> drained = platform::EventFd::create();
  if (drained) receiveBacklog = std::make_shared<SerialReceiveBacklog>(std::move(*drained));
  return closeEvent && txWake && receiveBacklog;
}

bool TComm::Session::startReceiver() {
  try {
    receiver = std::thread([this] { runGuarded([this] { runReceive(); }); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool TComm::Session::startTransmitter() {
  transmitterRunning = true;
  try {
    transmitter = std::thread([this] {
      runGuarded([this] { runTransmit(); });
      transmitterRunning.store(false);
    });
  } catch (const std::system_error&) {
    transmitterRunning = false;
    return false;
  }
  return true;
}

void TComm::Session::startModemWatcher() {
  if (!countersAtOpen) return;  // the driver reports no modem changes (a pty): nothing to watch
  try {
    modemWatcher = std::thread([this] {
      runGuarded([this] { runModemWatch(); });
      modemWatcherFinished.store(true);
    });
  } catch (const std::system_error&) {
    // Without modem events the port still works; OnModemStateChange just stays silent.
  }
}

void TComm::Session::stop() {
  if (stopping.exchange(true)) return;
  if (closeEvent) closeEvent->signal();
  platform::discardQueued(fd(), true, true);
  if (modemWatcher.joinable()) {
    // TIOCMIWAIT wakes only for a signal; one sent just before the thread entered the call
    // would be lost, so it is repeated until the thread has left.
    while (!modemWatcherFinished.load()) {
      modemInterrupter.interrupt();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    modemWatcher.join();
  }
  if (receiver.joinable()) receiver.join();
  if (transmitter.joinable()) transmitter.join();
}

void TComm::Session::postHangupOnce() {
  if (hangupPosted.exchange(true)) return;
  post([owner = &owner, session = number] { owner->deliverRequestHangup(session); });
}

// --- TComm -------------------------------------------------------------------------------

TComm::TComm(QObject* parent) : QObject(parent) {}

TComm::~TComm() { ClosePort(); }

void TComm::OpenPort() {
  if (session_) throw ECommsError("This serial port already opened");
  platform::SerialOpenResult opened = platform::openSerialDevice(DevicePathForCommName(commName_));
  switch (opened.failure) {
    case platform::SerialOpenFailure::None:
      break;
    case platform::SerialOpenFailure::CannotOpen:
      throw ECommsError("Error opening serial port");
    case platform::SerialOpenFailure::NotCharacterDevice:
      throw ECommsError("File handle is not a comm handle ");
    case platform::SerialOpenFailure::NotTerminal:
      throw ECommsError("Cannot setup comm buffer");
  }
  platform::discardQueued(opened.fd.get(), true, true);
  session_ = std::make_unique<Session>(*this, std::move(opened.fd));
  session_->number = ++opens_;
  applyTimeouts();
  applyLineSettings();
  const auto fail = [this](const char* message) {
    session_.reset();  // stops whatever was started, closes the device
    lineState_ = {};
    throw ECommsError(message);
  };
  if (!session_->createEvents()) fail("Unable to create event");
  if (!session_->startReceiver()) fail("Unable to create read thread");
  if (!session_->startTransmitter()) fail("Unable to create write thread");
  session_->startModemWatcher();
}

void TComm::ClosePort() {
  if (!session_) return;
  std::unique_ptr<Session> session = std::move(session_);
  session.reset();
  lineState_ = {};
}

void TComm::applyLineSettings() {
  platform::SerialLineSettings wanted;
  wanted.baudRate = baudRate_;
  wanted.dataBits = static_cast<int>(byteSize_) + 5;
  // Same ordinals; one outside the list stays outside and the adapter leaves that field alone.
  wanted.parity = static_cast<platform::SerialParity>(parity_);
  wanted.stopBits = static_cast<platform::SerialStopBits>(stopBits_);
  wanted.parityCheck = parityCheck_;
  const platform::SerialLineSettings kept = platform::applyLineSettings(session_->fd(), wanted);
  // After the settings: some drivers raise DTR and RTS when the speed leaves B0.
  platform::holdDtrRtsInactive(session_->fd());
  lineState_.BaudRate = kept.baudRate;
  lineState_.DataBits = kept.dataBits;
  lineState_.Parity = static_cast<TParity>(kept.parity);
  lineState_.StopBits =
      kept.stopBits == platform::SerialStopBits::One ? TStopBits::_1 : TStopBits::_2;
}

void TComm::applyTimeouts() {
  session_->gapMs.store(readIntervalTimeout_);
  session_->readTotalMultiplierMs.store(readTotalTimeoutMultiplier_);
  session_->readTotalConstantMs.store(readTotalTimeoutConstant_);
}

bool TComm::SendData(const char* buffer, quint16 count) {
  if (!session_ || count == 0 || buffer == nullptr) return false;
  return queueForTransmission(QByteArray(buffer, count));
}

bool TComm::SendBytes(QByteArrayView bytes) {
  if (!session_ || bytes.isEmpty()) return false;
  return queueForTransmission(bytes.toByteArray());
}

bool TComm::SendEachByte(QByteArrayView bytes) {
  if (!session_ || bytes.isEmpty() || !session_->transmitterRunning.load()) return false;
  if (!session_->txQueue.pushEach(bytes)) return false;
  session_->txWake->signal();
  return true;
}

bool TComm::queueForTransmission(QByteArray copy) {
  if (!session_->transmitterRunning.load()) return false;
  if (!session_->txQueue.push(std::move(copy))) return false;
  session_->txWake->signal();
  return true;
}

// Each delivery copies the handler first: the handler may assign another one (or clear it)
// while it runs, which must not destroy the function being executed.
void TComm::deliverReceiveData(const QByteArray& chunk) {
  if (!OnReceiveData) return;
  auto handler = OnReceiveData;
  // QByteArray keeps a zero byte after its data, so the buffer handed on is zero-terminated.
  runHandler("OnReceiveData",
             [&] { handler(*this, chunk.constData(), static_cast<quint16>(chunk.size())); });
}

void TComm::deliverReceiveError(quint32 flags) {
  if (!OnReceiveError) return;
  auto handler = OnReceiveError;
  runHandler("OnReceiveError", [&] { handler(*this, flags); });
}

void TComm::deliverModemStateChange(quint32 bits) {
  if (!OnModemStateChange) return;
  auto handler = OnModemStateChange;
  runHandler("OnModemStateChange", [&] { handler(*this, bits); });
}

// A hang-up of a session closed since tells nothing of the port as it is now (perhaps opened
// again): a handler that closes the port on a hang-up must not close the new session.
void TComm::deliverRequestHangup(quint64 session) {
  if (!session_ || session_->number != session || !OnRequestHangup) return;
  auto handler = OnRequestHangup;
  runHandler("OnRequestHangup", [&] { handler(*this); });
}

void TComm::deliverSendDataEmpty() {
  if (!OnSendDataEmpty) return;
  auto handler = OnSendDataEmpty;
  runHandler("OnSendDataEmpty", [&] { handler(*this); });
}

}  // namespace channels
