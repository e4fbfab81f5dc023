#pragma once
// Sets an environment variable for one scope and puts back what it was: a test that depends on
// the locale names its own instead of the one it was started in.

#include <QByteArray>
#include <QtGlobal>

namespace testing_support {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), before_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_)
      qputenv(name_, before_);
    else
      qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray before_;
};

}  // namespace testing_support
