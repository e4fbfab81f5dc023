#include "platform/current_thread_linux.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

void nameCurrentThread(const char* name) {
  char shortName[16];
  std::strncpy(shortName, name, sizeof shortName - 1);
  shortName[sizeof shortName - 1] = '\0';
  ::pthread_setname_np(::pthread_self(), shortName);
}

void raiseCurrentThreadPriority(int steps) {
  // Linux keeps a nice value per thread; raising it needs CAP_SYS_NICE (or RLIMIT_NICE), and
  // without it the thread simply keeps the normal priority.
  const pid_t tid = ::gettid();
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (nice == -1 && errno != 0) return;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice - steps);
}

void usePreciseTimers() { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

}  // namespace platform
