#pragma once
// Errors of the socket layer: the exception it throws (ESocketError, message in UTF-8), the kinds
// of failure its error events report (TErrorEvent), and the layer's fixed messages. An error
// code is the platform's errno value; its text is strerror's.
//
// Threads: GUI thread only, like the rest of the layer.

#include <QString>
#include <stdexcept>

namespace channels {

class ESocketError : public std::runtime_error {
 public:
  explicit ESocketError(const QString& message);
  QString message() const { return QString::fromUtf8(what()); }
};

enum class TErrorEvent {
  eeGeneral,
  eeSend,
  eeReceive,
  eeConnect,
  eeDisconnect,
  eeAccept,
  eeLookup
};

// The code a client activation reports with eeLookup when it has neither host nor address.
inline constexpr int kNoAddressErrorCode = 1110;

// "Windows socket error: <text> (<code>), on API '<api>'": a system call failed.
ESocketError SocketApiError(int code, const char* api);
// "Asynchronous socket error <code>": a notification carried an error that no handler cleared.
ESocketError AsyncSocketError(int code);
ESocketError NoAddressSpecified();
ESocketError CantListenOnOpenSocket();
ESocketError CantCreateSocket();
ESocketError SocketAlreadyOpen();
ESocketError CantChangeWhileActive();

}  // namespace channels
