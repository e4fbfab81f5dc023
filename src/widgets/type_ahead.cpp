#include "widgets/type_ahead.h"

namespace widgets {
namespace {

std::chrono::milliseconds steadyNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

int firstStartingWith(const QString& prefix, const QStringList& items) {
  for (int i = 0; i < items.size(); ++i) {
    if (items[i].startsWith(prefix, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

}  // namespace

TypeAhead::TypeAhead(Clock clock) : clock_(clock ? std::move(clock) : Clock(steadyNow)) {}

int TypeAhead::Type(QChar typed, const QStringList& items) {
  const std::chrono::milliseconds now = clock_();
  if (lastTyped_ && now - *lastTyped_ > kPause) search_.clear();
  lastTyped_ = now;
  if (search_.size() < kMaxLength) search_.append(typed);
  return firstStartingWith(search_, items);
}

int FirstItemStartingWith(QChar typed, const QStringList& items) {
  return firstStartingWith(QString(typed), items);
}

}  // namespace widgets
