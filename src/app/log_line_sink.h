#pragma once
// What the traffic log tells of every line it writes, the moment it writes it: the line's text
// as built (received lines too, before the view shows them, or even if the size rule clears them
// first), in the order written. GUI thread only.

#include <QString>

namespace app {

class LogLineSink {
 public:
  virtual ~LogLineSink() = default;
  virtual void lineWritten(const QString& text) = 0;
};

}  // namespace app
