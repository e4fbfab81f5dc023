#include "channels/socket_connection.h"

#include <QScopedValueRollback>
#include <algorithm>
#include <climits>

#include "platform/socket_bsd.h"

namespace channels {

namespace {

// Disabled before the socket closes, deleted later: the notifier may be the one whose
// notification is running right now.
void retireNotifier(QSocketNotifier*& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier->deleteLater();
  notifier = nullptr;
}

}  // namespace

TCustomWinSocket::InUse::InUse(TCustomWinSocket& socket) : socket_(socket) { ++socket_.useDepth_; }

TCustomWinSocket::InUse::~InUse() {
  if (--socket_.useDepth_ == 0 && socket_.releaseRequested_) socket_.deleteLater();
}

TCustomWinSocket::TCustomWinSocket(SocketEventSink& owner, QObject* parent)
    : QObject(parent), owner_(owner) {}

TCustomWinSocket::~TCustomWinSocket() { closeQuietly(); }

int TCustomWinSocket::SendBytes(QByteArrayView bytes) {
  if (!connected_) return 0;
  if (reportingError_) return -1;  // its failure is being reported already
  InUse inUse(*this);
  if (bytes.empty()) return 0;
  qsizetype taken = 0;
  if (queue_.empty()) {
    const platform::SocketIo sent = platform::sendSome(fd(), bytes.data(), bytes.size());
    if (sent.kind == platform::SocketIo::Failed) {
      failOperation(TErrorEvent::eeSend, sent.error.code, "send");
      return -1;
    }
    if (sent.kind == platform::SocketIo::Done) taken = static_cast<qsizetype>(sent.count);
  }
  const QByteArrayView rest = bytes.sliced(taken);
  if (!rest.empty()) {
    if (!queue_.fits(rest.size())) {
      failOperation(TErrorEvent::eeSend, platform::noBufferSpaceCode(), "send");
      return -1;
    }
    queue_.append(rest);
    watchWrites(true);
  }
  return static_cast<int>(std::min<qsizetype>(bytes.size(), INT_MAX));
}

int TCustomWinSocket::SendString(QByteArrayView text) { return SendBytes(text); }

int TCustomWinSocket::PendingLength() const {
  return connected_ ? platform::bytesReadable(fd()) : 0;
}

int TCustomWinSocket::ReceiveBytes(char* buffer, int count) {
  if (!connected_) return 0;
  InUse inUse(*this);
  readRearmed_ = true;
  if (!peerGone_) watchReads(true);
  if (count <= 0) return 0;
  const platform::SocketIo received =
      platform::receiveSome(fd(), buffer, static_cast<size_t>(count));
  switch (received.kind) {
    case platform::SocketIo::Done:
      return static_cast<int>(received.count);
    case platform::SocketIo::EndOfStream:
      return 0;  // the read notification that follows closes the connection
    case platform::SocketIo::WouldBlock:
      return -1;
    case platform::SocketIo::Failed:
      failOperation(TErrorEvent::eeReceive, received.error.code, "recv");
      return -1;
  }
  return -1;
}

QByteArray TCustomWinSocket::ReceiveAllText() {
  const int pending = PendingLength();
  QByteArray text(pending, Qt::Uninitialized);
  text.resize(std::max(ReceiveBytes(text.data(), pending), 0));
  return text;
}

QString TCustomWinSocket::PeerAddress() const {
  if (!connected_) return QString();
  if (peerAddress_.isEmpty()) {
    const platform::PeerAddress peer = platform::peerAddress(fd());
    if (peer.error) throw SocketApiError(peer.error->code, "getpeername");
    peerAddress_ = peer.address;
  }
  return peerAddress_;
}

QSocketNotifier* TCustomWinSocket::makeNotifier(QSocketNotifier::Type type) {
  auto* notifier = new QSocketNotifier(fd(), type, this);
  notifier->setEnabled(false);
  if (type == QSocketNotifier::Read)
    connect(notifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
  else
    connect(notifier, &QSocketNotifier::activated, this, [this] { onWritable(); });
  return notifier;
}

void TCustomWinSocket::adopt(platform::UniqueFd socket) {
  closeQuietly();
  fd_ = std::move(socket);
  ++generation_;
  readNotifier_ = makeNotifier(QSocketNotifier::Read);
  writeNotifier_ = makeNotifier(QSocketNotifier::Write);
}

void TCustomWinSocket::adoptUnconnected(platform::UniqueFd socket) { adopt(std::move(socket)); }

void TCustomWinSocket::watchConnect() {
  connecting_ = true;
  watchWrites(true);
}

void TCustomWinSocket::failConnectLater(int code) {
  connecting_ = true;
  const uint64_t attempt = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, attempt, code] {
        if (isCurrent(attempt) && connecting_) deliver([&] { finishConnect(code); });
      },
      Qt::QueuedConnection);
}

void TCustomWinSocket::adoptAccepted(platform::UniqueFd socket, const QString& peerAddress) {
  adopt(std::move(socket));
  connected_ = true;
  peerAddress_ = peerAddress;
  watchReads(true);
  watchWrites(true);  // the first write notification raises the write event
}

void TCustomWinSocket::closeConnection() {
  if (!isOpen()) return;
  InUse inUse(*this);
  const uint64_t before = generation_;
  if (connected_) owner_.socketDisconnecting(*this);
  if (generation_ != before) return;  // the handler closed the socket itself
  closeQuietly();
  owner_.socketClosed(*this);
}

void TCustomWinSocket::closeQuietly() {
  ++generation_;
  connecting_ = connected_ = peerGone_ = false;
  queue_.clear();
  peerAddress_.clear();
  retireNotifier(readNotifier_);
  retireNotifier(writeNotifier_);
  fd_.reset();
}

void TCustomWinSocket::requestRelease() {
  releaseRequested_ = true;
  if (useDepth_ == 0) deleteLater();
}

void TCustomWinSocket::deliver(const std::function<void()>& work) {
  InUse inUse(*this);
  try {
    work();
  } catch (const std::exception& error) {
    owner_.socketUnhandledError(QString::fromUtf8(error.what()));
  }
}

void TCustomWinSocket::onReadable() {
  deliver([this] {
    if (!connected_) return;
    if (platform::bytesReadable(fd()) > 0) {
      raiseRead();
      return;
    }
    const platform::SocketIo probe = platform::probeReadable(fd());
    switch (probe.kind) {
      case platform::SocketIo::Done:
        raiseRead();
        break;
      case platform::SocketIo::EndOfStream:
        closeConnection();
        break;
      case platform::SocketIo::WouldBlock:
        break;  // the bytes were read before this notification came: nothing to do
      case platform::SocketIo::Failed:
        // A reset is the connection's last notification; what is sent now fails as eeSend.
        peerGone_ = true;
        watchReads(false);
        notificationError(TErrorEvent::eeDisconnect, probe.error.code);
        break;
    }
  });
}

void TCustomWinSocket::onWritable() {
  deliver([this] {
    if (connecting_)
      finishConnect(platform::pendingSocketError(fd()));
    else if (connected_)
      flushQueue();
  });
}

void TCustomWinSocket::finishConnect(int code) {
  connecting_ = false;
  watchWrites(false);
  if (code != 0) {
    const uint64_t attempt = generation_;
    raiseError(TErrorEvent::eeConnect, code);
    // The attempt is over and its socket of no further use (unless the handler started anew).
    if (isCurrent(attempt)) closeQuietly();
    if (code != 0) throw AsyncSocketError(code);
    return;
  }
  connected_ = true;
  peerAddress_ = platform::peerAddress(fd()).address;
  watchReads(true);
  watchWrites(true);  // the write notification that follows raises the write event
  owner_.socketConnected(*this);
}

void TCustomWinSocket::flushQueue() {
  while (!queue_.empty()) {
    const QByteArrayView chunk = queue_.front();
    const platform::SocketIo sent = platform::sendSome(fd(), chunk.data(), chunk.size());
    if (sent.kind == platform::SocketIo::WouldBlock) return;
    if (sent.kind == platform::SocketIo::Failed) {
      failOperation(TErrorEvent::eeSend, sent.error.code, "send");
      return;
    }
    queue_.consume(static_cast<qsizetype>(sent.count));
  }
  watchWrites(false);
  owner_.socketWrite(*this);
}

void TCustomWinSocket::raiseRead() {
  readRearmed_ = false;
  const uint64_t before = generation_;
  owner_.socketRead(*this);
  if (isCurrent(before) && !readRearmed_) watchReads(false);
}

// The handler may set `code` to 0, which means it dealt with the error.
void TCustomWinSocket::raiseError(TErrorEvent event, int& code) {
  const QScopedValueRollback reporting(reportingError_, true);
  watchReads(false);
  watchWrites(false);
  owner_.socketError(*this, event, code);
}

void TCustomWinSocket::failOperation(TErrorEvent event, int code, const char* api) {
  const uint64_t before = generation_;
  raiseError(event, code);
  if (isCurrent(before)) closeConnection();
  if (code != 0) throw SocketApiError(code, api);
}

void TCustomWinSocket::notificationError(TErrorEvent event, int code) {
  const uint64_t before = generation_;
  raiseError(event, code);
  // The connection stays open when the handler leaves it: bytes still queued are tried again,
  // and fail as a send error.
  if (isCurrent(before) && !queue_.empty()) watchWrites(true);
  if (code != 0) throw AsyncSocketError(code);
}

void TCustomWinSocket::watchReads(bool on) {
  if (readNotifier_) readNotifier_->setEnabled(on);
}

void TCustomWinSocket::watchWrites(bool on) {
  if (writeNotifier_) writeNotifier_->setEnabled(on);
}

}  // namespace channels
