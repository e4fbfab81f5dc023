#include "channels/socket_errors.h"

#include "platform/system_error.h"

namespace channels {

ESocketError::ESocketError(const QString& message)
    : std::runtime_error(message.toUtf8().toStdString()) {}

ESocketError SocketApiError(int code, const char* api) {
  return ESocketError(QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
                          .arg(platform::errorFromCode(code).text)
                          .arg(code)
                          .arg(QLatin1String(api)));
}

ESocketError AsyncSocketError(int code) {
  return ESocketError(QStringLiteral("Asynchronous socket error %1").arg(code));
}

ESocketError NoAddressSpecified() { return ESocketError(QStringLiteral("No address specified")); }

ESocketError CantListenOnOpenSocket() {
  return ESocketError(QStringLiteral("Can't listen on an open socket"));
}

ESocketError CantCreateSocket() { return ESocketError(QStringLiteral("Can't create new socket")); }

ESocketError SocketAlreadyOpen() { return ESocketError(QStringLiteral("Socket already open")); }

ESocketError CantChangeWhileActive() {
  return ESocketError(QStringLiteral("Can't change value while socket is active"));
}

}  // namespace channels
