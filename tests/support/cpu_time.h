#pragma once
// The processor time the test process has used so far, to tell that nothing spins while the
// program should be idle.

#include <sys/resource.h>

namespace testing_support {

inline double CpuSecondsUsed() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace testing_support
