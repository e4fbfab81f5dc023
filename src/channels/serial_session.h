#pragma once
// Internal to the serial engine: one open port's state and its worker threads (see the thread
// contract in serial_comm.h). Created by TComm::OpenPort, destroyed by TComm::ClosePort; the
// destructor stops and joins the workers before the device is closed.

#include <QByteArray>
#include <QMetaObject>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "channels/serial_comm.h"
#include "channels/serial_receive_backlog.h"
#include "channels/serial_transmit_queue.h"
#include "platform/descriptor_waits_linux.h"
#include "platform/serial_device_linux.h"

namespace channels {

struct TComm::Session {
  Session(TComm& owner, platform::UniqueFd device);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int fd() const { return device.get(); }

  // OpenPort's steps; each false return maps to one ECommsError message.
  bool createEvents();
  bool startReceiver();
  bool startTransmitter();
  void startModemWatcher();  // only where the driver reports modem changes; best effort

  // Signals the close event, discards the driver's queues and joins every worker.
  void stop();

  // Posts a call to the owner's thread; FIFO with every other post.
  template <typename Fn>
  void post(Fn&& fn) {
    QMetaObject::invokeMethod(&owner, std::forward<Fn>(fn), Qt::QueuedConnection);
  }
  void postHangupOnce();

  // A worker's body behind a guard: an exception (a chunk copy that cannot be allocated) must
  // not leave the thread, where it would end the program. The worker counts as failed.
  template <typename Fn>
  void runGuarded(Fn&& body) noexcept {
    try {
      body();
    } catch (...) {
      try {
        postHangupOnce();
      } catch (...) {
      }
    }
  }

  // Worker bodies: serial_read_thread.cpp, serial_write_thread.cpp.
  void runReceive();
  void runTransmit();
  void runModemWatch();
  bool write(const QueuedWrite& queued);  // false: the thread stops
  bool writeWhole(const char* data, size_t size);
  // The line errors counted since `seen` (kCommError* flags), which it then takes the counts of.
  quint32 newLineErrors(platform::SerialCounters& seen);

  TComm& owner;
  quint64 number = 0;  // counts the opens of the owner: tells this session's posts from later ones
  platform::UniqueFd device;
  std::optional<platform::EventFd> closeEvent;  // signalled once by stop(), never consumed
  std::optional<platform::EventFd> txWake;      // signalled after buffers are queued
  const std::optional<platform::SerialCounters> countersAtOpen;  // none: a pty

  // Time-outs, written by the owner thread, read by the receive thread at each wait.
  std::atomic<quint32> gapMs{0};
  std::atomic<quint32> readTotalMultiplierMs{0};
  std::atomic<quint32> readTotalConstantMs{0};

  // Chunks posted and not yet delivered; created by createEvents, shared with the posted calls.
  std::shared_ptr<SerialReceiveBacklog> receiveBacklog;

  std::atomic<bool> stopping{false};
  std::atomic<bool> hangupPosted{false};
  std::atomic<bool> transmitterRunning{false};
  std::atomic<bool> modemWatcherFinished{false};

  SerialTransmitQueue txQueue;

  platform::ThreadInterrupter modemInterrupter;
  std::thread receiver;
  std::thread transmitter;
  std::thread modemWatcher;
};

}  // namespace channels
