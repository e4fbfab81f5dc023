#pragma once
// Takes every file descriptor the process may still open, so that the next one the code under
// test asks for fails with EMFILE; `spare` of them are left free. The soft limit is lowered to
// 512 first, so that takes few. Everything is given back on release or destruction.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace testing_support {

class DescriptorsTaken {
 public:
  explicit DescriptorsTaken(int spare = 0) {
    getrlimit(RLIMIT_NOFILE, &original_);
    rlimit low = original_;
    low.rlim_cur = std::min<rlim_t>(low.rlim_cur, 512);
    setrlimit(RLIMIT_NOFILE, &low);
    const int source = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (source >= 0) taken_.push_back(source);
    for (int fd; source >= 0 && (fd = ::dup(source)) >= 0;) taken_.push_back(fd);
    exhausted_ = errno == EMFILE && static_cast<int>(taken_.size()) > spare;
    for (int i = 0; i < spare && !taken_.empty(); ++i) {
      ::close(taken_.back());
      taken_.pop_back();
    }
  }
  ~DescriptorsTaken() { release(); }
  DescriptorsTaken(const DescriptorsTaken&) = delete;
  DescriptorsTaken& operator=(const DescriptorsTaken&) = delete;

  // True when the limit was reached, so only the spare descriptors are free.
  bool exhausted() const { return exhausted_; }
  void release() {
    for (int fd : taken_) ::close(fd);
    taken_.clear();
    setrlimit(RLIMIT_NOFILE, &original_);
  }

 private:
  rlimit original_{};
  std::vector<int> taken_;
  bool exhausted_ = false;
};

}  // namespace testing_support
