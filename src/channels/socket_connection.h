#pragma once
// A connection object of the socket layer: the client component's own connection, or one the
// server accepted. It holds a non-blocking TCP socket (or none), watches it with
// QSocketNotifiers and reports what happens to its owner (SocketEventSink), which raises the
// component's events.
//
// Invariants:
// - Connected() is true from the completed connect (or the accept) until the connection closes.
// - Every byte SendBytes accepts goes out, in order: what the system does not take at once waits
//   in a per-connection queue and is sent as soon as the socket is writable. The queue holds at
//   most kSendQueueLimit bytes; a send that would pass it fails like a system send failure
//   (eeSend, ENOBUFS) and closes the connection.
// - Like the Windows socket interface this layer stands in for, a read notification is raised
//   once and not again until the program reads (ReceiveBytes); a handler that leaves the bytes
//   pending gets no stream of repeated notifications.
// - Notifiers are disabled before the socket is closed. The object is never deleted while one of
//   its calls or notifications is running: a release asked for meanwhile waits until the
//   outermost one has returned, then goes through deleteLater.
// - While a connection's error event is being raised it is quiet: no notifications, and a send
//   on it fails without a second error event. A handler showing a modal box runs the event loop,
//   where the failed socket would otherwise notify, fail and report again, box inside box.
// - Exceptions never leave a notification: an error raised while one is handled goes to the
//   owner's unhandled-error report instead.
//
// Threads: GUI thread only; no threads of its own.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <cstdint>
#include <functional>

#include "channels/socket_events.h"
#include "channels/socket_send_queue.h"
#include "platform/unique_fd.h"

namespace channels {

class TCustomWinSocket : public QObject {
  Q_OBJECT
 public:
  static constexpr qsizetype kSendQueueLimit = 16 * 1024 * 1024;

  explicit TCustomWinSocket(SocketEventSink& owner, QObject* parent = nullptr);
  ~TCustomWinSocket() override;

  // Not connected: 0. Otherwise the whole count once the bytes are sent or queued; -1 when the
  // send failed (the error event was raised and the connection closed).
  int SendBytes(QByteArrayView bytes);
  int SendString(QByteArrayView text);
  int PendingLength() const;
  // Not connected: 0. Otherwise one system read: the count read, -1 when nothing can be read
  // now or the read failed.
  int ReceiveBytes(char* buffer, int count);
  // Every pending byte, zero bytes included.
  QByteArray ReceiveAllText();
  QString PeerAddress() const;
  bool Connected() const { return connected_; }
  // Bytes accepted by SendBytes that the system has not taken yet.
  qsizetype QueuedLength() const { return queue_.size(); }

 private:
  friend class TClientSocket;
  friend class TServerSocket;

  // Keeps the object alive while one of its calls or notifications runs.
  class InUse {
   public:
    explicit InUse(TCustomWinSocket& socket);
    ~InUse();
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

   private:
    TCustomWinSocket& socket_;
  };

  // Socket handover. A new socket starts a new generation; so does every close, so a caller
  // that raised an event can tell whether the handler closed or replaced the socket.
  // An unconnected socket is watched only once its connect has started (watchConnect), or its
  // immediate refusal is delivered through the event loop (failConnectLater).
  void adoptUnconnected(platform::UniqueFd socket);
  void watchConnect();
  void failConnectLater(int code);
  void adoptAccepted(platform::UniqueFd socket, const QString& peerAddress);
  bool isOpen() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }
  uint64_t generation() const { return generation_; }
  bool isCurrent(uint64_t generation) const { return generation_ == generation && isOpen(); }

  // Closing: raises the disconnect event while still connected, closes, reports the close.
  void closeConnection();
  // Closes the socket without any event.
  void closeQuietly();
  void requestRelease();
  // Runs one notification: keeps the object alive and turns an escaping error into the owner's
  // unhandled-error report.
  void deliver(const std::function<void()>& work);

  void adopt(platform::UniqueFd socket);
  void onReadable();
  void onWritable();
  void finishConnect(int code);
  void flushQueue();
  void raiseRead();
  void raiseError(TErrorEvent event, int& code);
  void failOperation(TErrorEvent event, int code, const char* api);
  void notificationError(TErrorEvent event, int code);
  void watchReads(bool on);
  void watchWrites(bool on);
  QSocketNotifier* makeNotifier(QSocketNotifier::Type type);

  SocketEventSink& owner_;
  platform::UniqueFd fd_;
  QSocketNotifier* readNotifier_ = nullptr;
  QSocketNotifier* writeNotifier_ = nullptr;
  uint64_t generation_ = 0;
  bool connecting_ = false;
  bool connected_ = false;
  bool peerGone_ = false;     // a close notification with an error came: nothing more to read
  bool readRearmed_ = false;  // the program read since the last read notification
  bool reportingError_ = false;  // the error event is being raised: the connection is quiet
  mutable QString peerAddress_;
  SocketSendQueue queue_{kSendQueueLimit};
  int useDepth_ = 0;
  bool releaseRequested_ = false;
};

using TClientWinSocket = TCustomWinSocket;
using TServerClientWinSocket = TCustomWinSocket;

}  // namespace channels
