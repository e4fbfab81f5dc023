// The view's rows as the editing controller sees them, for moves by row and page.
#include <QScrollBar>

#include "textview/nearest_int.h"
#include "textview/text_view.h"

namespace textview {

qsizetype TextView::Layout::rowCount() const { return view_.rows_.totalRows(); }

qsizetype TextView::Layout::rowOf(TextPosition at, bool atRowEnd) const {
  return view_.rowOf(at, atRowEnd);
}

qreal TextView::Layout::cellOf(TextPosition at, bool atRowEnd) const {
  return view_.placeOf(at, atRowEnd).cell;
}

TextPosition TextView::Layout::positionInRow(qsizetype row, qreal cell, bool& atRowEnd) const {
  return view_.positionInRow(view_.rows_.placeOf(row), cell, atRowEnd);
}

TextPosition TextView::Layout::rowStart(TextPosition at, bool atRowEnd) const {
  at = view_.document_.clamped(at);
  return {at.line, view_.placeOf(at, atRowEnd).span.start};
}

TextPosition TextView::Layout::rowEnd(TextPosition at, bool atRowEnd, bool& endAtRowEnd) const {
  at = view_.document_.clamped(at);
  return view_.rowEnd(at.line, view_.placeOf(at, atRowEnd).span, endAtRowEnd);
}

int TextView::Layout::pageRows() const { return view_.visibleRows(); }

void TextView::Layout::scrollByRows(int rows) {
  QScrollBar* bar = view_.verticalScrollBar();
  bar->setValue(NearestInt(qsizetype{bar->value()} + rows));
}

}  // namespace textview
