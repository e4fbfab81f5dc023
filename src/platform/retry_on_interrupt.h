#pragma once
// The one EINTR loop of the system-call wrappers: a call that a signal interrupted before it did
// anything is simply made again. errno is left as the last call set it, so the caller reads the
// failure right after, as errorFromErrno expects.

#include <cerrno>

namespace platform {

// Calls `call` until it returns something other than a negative value with errno EINTR.
template <typename Call>
auto retryOnInterrupt(Call call) {
  decltype(call()) rc;
  do {
    rc = call();
  } while (rc < 0 && errno == EINTR);
  return rc;
}

}  // namespace platform
