#pragma once
// Qt's widget interfaces hold ints (a scroll bar's value, the caret position an input method is
// told, the offsets of the accessibility interface), where the view counts rows, columns and
// offsets in qsizetype. A value past what an int holds is given as the nearest int, never wrapped.

#include <QtGlobal>
#include <algorithm>
#include <limits>

namespace textview {

inline int NearestInt(qsizetype value) {
  return static_cast<int>(std::clamp<qsizetype>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

}  // namespace textview
