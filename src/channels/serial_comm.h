#pragma once
// TComm: the serial port engine. One object owns one serial port: OpenPort opens
// the device and starts the workers, SendData/SendBytes queue bytes for transmission, received
// bytes come back as one OnReceiveData per chunk, ClosePort stops everything.
//
// Thread contract
// - The owning thread (the GUI thread, the one the TComm lives in) makes every public call:
//   construction, property reads and writes, OpenPort, ClosePort, SendData, SendBytes,
//   destruction. Every event handler is called on it, from its event loop, never inside one of
//   these calls.
// - While open, a session owns the device descriptor, a close eventfd and the transmit FIFO.
//   OpenPort starts the workers; ClosePort signals the close eventfd and joins them before the
//   descriptor is closed, so no worker outlives the session or the TComm.
//   - receive thread ("serial-rx"): blocks in poll on the device plus the close eventfd, with no
//     time limit while the line is idle. Once a chunk has started it polls with the rest of the
//     gap as its time-out; a chunk ends when the line has been silent for more than
//     ReadIntervalTimeout ms or 2048 bytes have arrived. In a stream (a read that took a full
//     driver buffer) it reads on at once, checking the stop flag, before polling again. It
//     also reads the driver's line-error counters after each read where the driver keeps them
//     (not a pty). While kMaxChunksAwaitingDelivery chunks wait for delivery it reads nothing
//     and blocks in poll on a second eventfd, which the delivery that brings the backlog under
//     that bound signals (serial_receive_backlog.h), beside the close eventfd.
//   - transmit thread ("serial-tx"): takes buffers from a mutex-guarded FIFO, woken by an
//     eventfd; writes each buffer whole (a partial write goes on with the rest, waiting in poll
//     for room) before the next, in call order.
//   - modem thread ("serial-modem"), only where the driver reports modem changes (TIOCGICOUNT
//     works: UARTs, USB adapters; never a pty): blocks in TIOCMIWAIT for carrier or ring
//     changes. No descriptor can wake that call, so ClosePort interrupts it with a signal.
// - What crosses threads: received chunks as QByteArray (owned, immutable, one copy per chunk),
//   posted to this object with QMetaObject::invokeMethod(..., Qt::QueuedConnection), one post per
//   chunk, so order is kept and each chunk gives exactly one OnReceiveData; the other
//   notifications travel the same queue. Transmit buffers are QByteArray copies handed over
//   through the FIFO. Time-outs are atomics the receive thread reads; line settings are applied
//   by the owning thread while the workers run (the kernel allows it).
// - Notifications posted before ClosePort may still be delivered after it returns, so no byte
//   read is lost. Those still queued when the TComm is destroyed are discarded with it (QObject's
//   destructor drops events posted to it, and the workers are joined before that), so nothing
//   touches freed memory. A handler must not delete its TComm (use deleteLater).
// - Hang-up: a read error, end of stream or POLLHUP without data (USB adapter pulled, pty master
//   closed), or a failed write, ends that worker and posts OnRequestHangup once per open. The
//   engine stays open, the owning thread stays responsive, and ClosePort works as usual. A
//   hang-up that arrives after its port was closed is dropped: it is not about the port that is
//   open now.
//
// Device names: a name containing '/' is a path; "COMn" (n >= 1, any case, with or without a
// "\\.\" prefix) is /dev/ttyS(n-1); any other bare name is /dev/NAME.
//
// What the properties do on Linux: BaudRate (any rate the driver takes), ByteSize, Parity (mark
// and space through CMSPAR), StopBits (1.5 becomes 2, the nearest termios has) and ParityCheck
// (INPCK) are applied; the line is always raw, without flow control, DTR and RTS held inactive.
// The flow-control, DTR/RTS-control, Xon/Xoff, replacement and null-stripping properties are
// stored and read back with their defaults, with no effect on the line. Read time-outs:
// ReadIntervalTimeout is the gap (0: no gap, a chunk ends only at 2048 bytes; 4294967295: each
// read is delivered at once); a non-zero read total (multiplier * 2048 + constant) also ends a
// chunk that many ms after its first byte. The write time-outs are stored only: a write always
// goes on until the buffer is out or the port closes. LineState() tells what the driver kept.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

namespace channels {

class ECommsError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

enum class TByteSize { _5, _6, _7, _8 };
enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// OnReceiveError flags, the Win32 ClearCommError values.
inline constexpr quint32 kCommErrorRxOver = 0x0001;   // driver input buffer overflowed
inline constexpr quint32 kCommErrorOverrun = 0x0002;  // UART overrun: a byte was lost
inline constexpr quint32 kCommErrorParity = 0x0004;
inline constexpr quint32 kCommErrorFrame = 0x0008;
inline constexpr quint32 kCommErrorBreak = 0x0010;
// OnModemStateChange bits.
inline constexpr quint32 kModemRing = 4;
inline constexpr quint32 kModemCarrier = 8;

inline constexpr int kChunkLimit = 2048;  // bytes in one OnReceiveData at most
// Chunks read but not yet delivered, at most: while the owning thread is this far behind, the
// receive thread stops reading and the device's buffers hold the bytes, so a stream faster
// than the log cannot grow memory without bound. 2 MiB: seconds of any real line.
inline constexpr int kMaxChunksAwaitingDelivery = 1024;

// The device path OpenPort opens for a CommName.
QString DevicePathForCommName(const QString& commName);

// What the driver kept of the line settings at the last apply (while open).
struct TLineState {
  quint32 BaudRate = 0;
  int DataBits = 8;
  TParity Parity = TParity::None;
  TStopBits StopBits = TStopBits::_1;
};

class TComm : public QObject {
  Q_OBJECT

 public:
  explicit TComm(QObject* parent = nullptr);
  ~TComm() override;  // closes the port if still open

  QString CommName() const { return commName_; }
  void setCommName(const QString& value) { commName_ = value; }
  quint32 BaudRate() const { return baudRate_; }
  void setBaudRate(quint32 value) { setLine(baudRate_, value); }
  bool ParityCheck() const { return parityCheck_; }
  void setParityCheck(bool value) { setLine(parityCheck_, value); }
  bool Outx_CtsFlow() const { return outxCtsFlow_; }
  void setOutx_CtsFlow(bool value) { setLine(outxCtsFlow_, value); }
  bool Outx_DsrFlow() const { return outxDsrFlow_; }
  void setOutx_DsrFlow(bool value) { setLine(outxDsrFlow_, value); }
  TDtrControl DtrControl() const { return dtrControl_; }
  void setDtrControl(TDtrControl value) { setLine(dtrControl_, value); }
  bool DsrSensitivity() const { return dsrSensitivity_; }
  void setDsrSensitivity(bool value) { setLine(dsrSensitivity_, value); }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void setTxContinueOnXoff(bool value) { setLine(txContinueOnXoff_, value); }
  bool Outx_XonXoffFlow() const { return outxXonXoffFlow_; }
  void setOutx_XonXoffFlow(bool value) { setLine(outxXonXoffFlow_, value); }
  bool Inx_XonXoffFlow() const { return inxXonXoffFlow_; }
  void setInx_XonXoffFlow(bool value) { setLine(inxXonXoffFlow_, value); }
  bool ReplaceWhenParityError() const { return replaceWhenParityError_; }
  void setReplaceWhenParityError(bool value) { setLine(replaceWhenParityError_, value); }
  bool IgnoreNullChar() const { return ignoreNullChar_; }
  void setIgnoreNullChar(bool value) { setLine(ignoreNullChar_, value); }
  TRtsControl RtsControl() const { return rtsControl_; }
  void setRtsControl(TRtsControl value) { setLine(rtsControl_, value); }
  quint16 XonLimit() const { return xonLimit_; }
  void setXonLimit(quint16 value) { setLine(xonLimit_, value); }
  quint16 XoffLimit() const { return xoffLimit_; }
  void setXoffLimit(quint16 value) { setLine(xoffLimit_, value); }
  // An ordinal outside the enumeration (static_cast<TByteSize>(4) from a hand-edited ini) is
  // stored and passed on; the device refuses it and keeps its data bits, without an error.
  TByteSize ByteSize() const { return byteSize_; }
  void setByteSize(TByteSize value) { setLine(byteSize_, value); }
  // A plain store: takes effect when the line setting is next applied.
  TParity Parity() const { return parity_; }
  void setParity(TParity value) { parity_ = value; }
  TStopBits StopBits() const { return stopBits_; }
  void setStopBits(TStopBits value) { setLine(stopBits_, value); }
  char XonChar() const { return xonChar_; }
  void setXonChar(char value) { setLine(xonChar_, value); }
  char XoffChar() const { return xoffChar_; }
  void setXoffChar(char value) { setLine(xoffChar_, value); }
  char ReplacedChar() const { return replacedChar_; }
  void setReplacedChar(char value) { setLine(replacedChar_, value); }
  quint32 ReadIntervalTimeout() const { return readIntervalTimeout_; }
  void setReadIntervalTimeout(quint32 value) { setTimeout(readIntervalTimeout_, value); }
  quint32 ReadTotalTimeoutMultiplier() const { return readTotalTimeoutMultiplier_; }
  void setReadTotalTimeoutMultiplier(quint32 value) {
    setTimeout(readTotalTimeoutMultiplier_, value);
  }
  quint32 ReadTotalTimeoutConstant() const { return readTotalTimeoutConstant_; }
  void setReadTotalTimeoutConstant(quint32 value) { setTimeout(readTotalTimeoutConstant_, value); }
  quint32 WriteTotalTimeoutMultiplier() const { return writeTotalTimeoutMultiplier_; }
  void setWriteTotalTimeoutMultiplier(quint32 value) {
    setTimeout(writeTotalTimeoutMultiplier_, value);
  }
  quint32 WriteTotalTimeoutConstant() const { return writeTotalTimeoutConstant_; }
  void setWriteTotalTimeoutConstant(quint32 value) {
    setTimeout(writeTotalTimeoutConstant_, value);
  }

  // Throws ECommsError with one of the messages "This serial port already opened", "Error
  // opening serial port", "File handle is not a comm handle ", "Cannot setup comm buffer",
  // "Unable to create event", "Unable to create read thread", "Unable to create write thread".
  // A failed OpenPort leaves the engine closed with nothing held.
  void OpenPort();
  // Stops the workers (promptly: they block only on descriptors the close signal wakes),
  // discards the buffers still queued for transmission and closes the device. Nothing when
  // closed.
  void ClosePort();
  bool IsOpen() const { return session_ != nullptr; }

  // Queues a copy of `count` bytes; false when closed, for a count of 0, once the transmit
  // thread has stopped after a failure, or while the queue holds its limit (about 16 MiB).
  bool SendData(const char* buffer, quint16 count);
  // Queues any length as one buffer, written whole like a SendData buffer (a message of 65536
  // bytes or more goes out whole, in order with the SendData buffers around it). False as for
  // SendData, and for an empty view.
  bool SendBytes(QByteArrayView bytes);
  // Queues the bytes so that each goes out in a write of its own, in order: all of them, or
  // none (false) where SendBytes would refuse them as one buffer.
  bool SendEachByte(QByteArrayView bytes);

  // What the driver kept at the last apply of the line settings; the zero state while closed.
  TLineState LineState() const { return lineState_; }

  // Events, called on the owning thread. OnReceiveData's buffer is valid only during the call
  // and is followed by one zero byte that `length` does not count.
  std::function<void(TComm& sender, const char* buffer, quint16 length)> OnReceiveData;
  std::function<void(TComm& sender, quint32 eventMask)> OnReceiveError;
  std::function<void(TComm& sender, quint32 modemEvent)> OnModemStateChange;
  std::function<void(TComm& sender)> OnRequestHangup;
  std::function<void(TComm& sender)> OnSendDataEmpty;

 private:
  struct Session;  // serial_session.h

  template <typename T>
  void setLine(T& field, T value) {
    if (field == value) return;
    field = value;
    if (IsOpen()) applyLineSettings();
  }
  template <typename T>
  void setTimeout(T& field, T value) {
    if (field == value) return;
    field = value;
    if (IsOpen()) applyTimeouts();
  }
  void applyLineSettings();
  void applyTimeouts();
  bool queueForTransmission(QByteArray copy);

  // Called on the owning thread for each posted notification.
  void deliverReceiveData(const QByteArray& chunk);
  void deliverReceiveError(quint32 flags);
  void deliverModemStateChange(quint32 bits);
  void deliverRequestHangup(quint64 session);
  void deliverSendDataEmpty();

  QString commName_ = QStringLiteral("COM2");
  quint32 baudRate_ = 9600;
  bool parityCheck_ = false;
  bool outxCtsFlow_ = false;
  bool outxDsrFlow_ = false;
  TDtrControl dtrControl_ = TDtrControl::DtrEnable;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = true;
  bool outxXonXoffFlow_ = true;
  bool inxXonXoffFlow_ = true;
  bool replaceWhenParityError_ = false;
  bool ignoreNullChar_ = false;
  TRtsControl rtsControl_ = TRtsControl::RtsEnable;
  quint16 xonLimit_ = 500;
  quint16 xoffLimit_ = 500;
  TByteSize byteSize_ = TByteSize::_8;
  TParity parity_ = TParity::None;
  TStopBits stopBits_ = TStopBits::_1;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  char replacedChar_ = 0;
  quint32 readIntervalTimeout_ = 100;
  quint32 readTotalTimeoutMultiplier_ = 0;
  quint32 readTotalTimeoutConstant_ = 0;
  quint32 writeTotalTimeoutMultiplier_ = 0;
  quint32 writeTotalTimeoutConstant_ = 0;

  TLineState lineState_;
  quint64 opens_ = 0;
  std::unique_ptr<Session> session_;
};

}  // namespace channels
