#pragma once
// The view's vertical QScrollBar counts rows of the whole text in an int. A text may have more
// rows than that (a long line wrapped at a narrow width): the scroll range then ends at INT_MAX,
// so the rows past INT_MAX + a page never come to the top of the view, though the caret still
// reaches them.

#include <QtGlobal>
#include <algorithm>

#include "textview/nearest_int.h"

namespace textview {

// The scroll bar's maximum for `rows` rows, `pageRows` of them shown at once.
inline int ScrollMaximum(qsizetype rows, int pageRows) {
  return NearestInt(std::max<qsizetype>(0, rows - pageRows));
}

}  // namespace textview
