#pragma once
// Type-ahead for the pick lists of the message grid's cell editor.
// In an open list, typed characters gather into a search text that picks the first item
// beginning with it; the search starts over after Backspace or Escape and after a pause of more
// than two seconds between two characters, and it holds at most 32 characters. In a read-only
// pick list with the list closed, one character picks the first item it begins with.
// Letter case is ignored throughout. No widgets: the clock is injected, so tests drive time.

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

namespace widgets {

class TypeAhead {
 public:
  using Clock = std::function<std::chrono::milliseconds()>;
  static constexpr qsizetype kMaxLength = 32;
  static constexpr std::chrono::milliseconds kPause{2000};

  // The default clock is the monotonic system clock.
  explicit TypeAhead(Clock clock = {});

  // Adds a typed character to the search text; the first item beginning with the search text,
  // or -1 when none does.
  int Type(QChar typed, const QStringList& items);
  void Clear() { search_.clear(); }
  const QString& SearchText() const { return search_; }

 private:
  Clock clock_;
  QString search_;
  std::optional<std::chrono::milliseconds> lastTyped_;
};

// The first item whose first character is `typed`, letter case ignored; -1 when none is.
int FirstItemStartingWith(QChar typed, const QStringList& items);

}  // namespace widgets
