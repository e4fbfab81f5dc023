#include "textview/text_view.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cmath>

#include "textview/nearest_int.h"
#include "textview/scroll_rows.h"
#include "textview/text_view_accessible.h"
#include "textview/view_scroll_bar.h"

namespace textview {

bool PrimarySelection::isSupported() const {
  return QGuiApplication::clipboard()->supportsSelection();
}

QString PrimarySelection::text() const {
  return QGuiApplication::clipboard()->text(QClipboard::Selection);
}

void PrimarySelection::setText(const QString& text) {
  QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
}

TextView::TextView(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallTextViewAccessibility();
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setAcceptDrops(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  // Every paint fills what it exposes, so Qt need not clear it first.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setVerticalScrollBar(new ViewScrollBar);
  verticalScrollBar()->setSingleStep(1);
  connect(&document_, &TextDocument::linesAppended, this, &TextView::onLinesAppended);
  connect(&document_, &TextDocument::linesReplaced, this, &TextView::onLinesReplaced);
  connect(&document_, &TextDocument::reset, this, &TextView::onReset);
  connect(&editing_, &TextEditing::caretMoved, this, &TextView::onCaretMoved);
  connect(&editing_, &TextEditing::editStarting, this, &TextView::onEditStarting);
  connect(&editing_, &TextEditing::editDone, this, &TextView::onEditDone);
  updateMetrics();
  rewrap();
}

TextView::~TextView() = default;

void TextView::setPlainText(const QString& text) {
  document_.setPlainText(text);
  moveCaret({0, 0}, false);
}

void TextView::clear() { document_.clear(); }

QColor TextView::shownColour(int line) const {
  const QColor& own = document_.lineColour(line);
  return own.isValid() ? own : palette().color(QPalette::Text);
}

void TextView::setPrimarySelection(PrimarySelection* selection) {
  primarySelection_ = selection ? selection : &systemSelection_;
}

// ---- document signals ----

void TextView::onLinesAppended(int first, int count) {
  const qsizetype lengthBefore = plainLength_;
  plainLength_ = document_.plainTextLength();
  rowCache_.dropLinesFrom(first);
  lineOffsets_.resize(std::min<size_t>(lineOffsets_.size(), first));
  rows_.replaceFrom(document_, first, rows_.lineCount() - first, count);
  updateScrollRange();
  updateRows(rows_.firstRowOf(first), rows_.totalRows() - 1);
  if (QAccessible::isActive()) {
    const QString added = document_.text({first, 0}, document_.end());
    noticeChange(lengthBefore, 0, first > 0 ? u'\n' + added : added);
  }
}

void TextView::onLinesReplaced(int first, int removed, int added) {
  const qsizetype lengthBefore = plainLength_;
  plainLength_ = document_.plainTextLength();
  rowCache_.dropLinesFrom(first);
  lineOffsets_.resize(std::min<size_t>(lineOffsets_.size(), first));
  rows_.replaceFrom(document_, first, removed, added);
  updateScrollRange();
  viewport()->update();
  if (!QAccessible::isActive()) return;
  if (pendingEdit_) {
    // A user edit: exactly what it removed and what it put in its place.
    const qsizetype insertedLength = plainLength_ - lengthBefore + pendingEdit_->removedLength;
    const TextPosition from = positionAtOffset(pendingEdit_->offset);
    const TextPosition to = positionAtOffset(pendingEdit_->offset + insertedLength);
    noticeChange(pendingEdit_->offset, pendingEdit_->removedLength, document_.text(from, to));
    pendingEdit_.reset();
    return;
  }
  // An undo or a redo: the changed lines whole, the removed text as blanks of its length (its
  // characters are gone), as Qt's own text edits report it.
  const TextPosition from{first, 0};
  const TextPosition to{first + added - 1, document_.lineText(first + added - 1).size()};
  const QString now = document_.text(from, to);
  noticeChange(offsetOf(from), now.size() - (plainLength_ - lengthBefore), now);
}

void TextView::onReset() {
  const qsizetype lengthBefore = plainLength_;
  plainLength_ = document_.plainTextLength();
  rows_.rebuild(document_, rows_.grid());
  rowCache_.clear();
  lineOffsets_.clear();
  updateScrollRange();
  viewport()->update();
  if (QAccessible::isActive()) noticeChange(0, lengthBefore, document_.toPlainText());
}

// ---- geometry ----

void TextView::updateMetrics() {
  const QFontMetricsF metrics(font());
  cellWidth_ = metrics.horizontalAdvance(u'0');
  if (cellWidth_ <= 0) cellWidth_ = 1;
  rowHeight_ = std::max(1, qRound(metrics.lineSpacing()));
  ascent_ = qRound(metrics.ascent() + (rowHeight_ - metrics.height()) / 2);
  cells_ = CellWidths::ofFont(font(), cellWidth_);
  glyphs_.setFont(font(), cellWidth_);
  masks_.reset(glyphs_, rowHeight_, ascent_, viewport()->devicePixelRatioF());
  raster_.setFont(font());
  rowCache_.clear();
}

void TextView::rewrap(bool force) {
  const int width = viewport()->width() - 2 * kMargin;
  const int columns = std::max(1, static_cast<int>(std::floor(width / cellWidth_ + 1e-6)));
  if (!force && columns == rows_.columns() && rows_.lineCount() == document_.lineCount()) return;
  // The row at the top stays at the top: the same text, wherever it wraps now.
  const bool atBottom = verticalScrollBar()->value() == verticalScrollBar()->maximum() &&
                        verticalScrollBar()->maximum() > 0;
  std::optional<TextPosition> topText;
  if (rows_.lineCount() == document_.lineCount() && rows_.lineCount() > 0) {
    const RowIndex::RowPlace top = rows_.placeOf(topRow());
    topText = TextPosition{top.line, rows_.span(top.line, top.row).start};
  }
  rows_.rebuild(document_, {columns, wrap::kTabStopPixels / cellWidth_, &cells_});
  rowCache_.clear();
  updateScrollRange();
  if (atBottom) {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  } else if (topText) {
    verticalScrollBar()->setValue(NearestInt(rowOf(*topText, false)));
  }
  viewport()->update();
}

void TextView::updateScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  bar->setPageStep(visibleRows());
  // An int range: rows past INT_MAX are out of its reach (scroll_rows.h).
  bar->setRange(0, ScrollMaximum(rows_.totalRows(), visibleRows()));
}

qsizetype TextView::topRow() const { return verticalScrollBar()->value(); }

int TextView::visibleRows() const {
  return std::max(1, (viewport()->height() - 2 * kMargin) / rowHeight_);
}

QRect TextView::contentRect() const {
  return QRect(0, kMargin, viewport()->width(), std::max(0, viewport()->height() - 2 * kMargin));
}

int TextView::rowTop(qsizetype row) const {
  // Reckoned in qsizetype: the top of a row some hundred million rows off the viewport is past
  // what an int holds. Anything that far off shows the same (nothing), so it is held within reach
  // of the rectangles built from it.
  constexpr qsizetype kFar = qsizetype{1} << 28;
  const qsizetype top = kMargin + (row - topRow()) * rowHeight_;
  return static_cast<int>(std::clamp(top, -kFar, kFar));
}

TextView::Place TextView::placeOf(TextPosition at, bool atRowEnd) const {
  at = document_.clamped(at);
  const QString& text = document_.lineText(at.line);
  const bool plain = rows_.isPlain(at.line);
  const wrap::RowOfColumn shown = rows_.rowShowing(at.line, at.column, atRowEnd);
  return {shown.row, shown.span, wrap::CellOf(text, plain, rows_.grid(), shown.span, at.column)};
}

wrap::RowSpan TextView::rowSpanShowing(TextPosition at) const {
  at = document_.clamped(at);
  return rows_.rowShowing(at.line, at.column, false).span;
}

qsizetype TextView::rowOf(TextPosition at, bool atRowEnd) const {
  at = document_.clamped(at);
  return rows_.firstRowOf(at.line) + placeOf(at, atRowEnd).row;
}

TextPosition TextView::positionAt(QPoint point) const {
  bool atRowEnd = false;
  return positionAt(point, atRowEnd);
}

TextPosition TextView::positionAt(QPoint point, bool& atRowEnd) const {
  const qsizetype row =
      topRow() +
      static_cast<int>(std::floor((point.y() - kMargin) / static_cast<qreal>(rowHeight_)));
  const RowIndex::RowPlace place = rows_.placeOf(row);
  return positionInRow(place, (point.x() - kMargin) / cellWidth_, atRowEnd);
}

TextPosition TextView::positionInRow(RowIndex::RowPlace place, qreal cell, bool& atRowEnd) const {
  const QString& text = document_.lineText(place.line);
  const wrap::RowSpan span = rows_.span(place.line, place.row);
  const bool plain = rows_.isPlain(place.line);
  const qsizetype column = wrap::ColumnNearest(text, plain, rows_.grid(), span, cell);
  // A point on the second half of a tab a wrapped row ends with is after the tab, as in a text
  // layout, which shows that caret at the start of the next row; only a point past the row's
  // last character goes to the row's end.
  const bool onTrailingTab = column == span.end && span.end > span.start &&
                             span.end < text.size() && text[span.end - 1] == u'\t' &&
                             cell <= wrap::CellOf(text, plain, rows_.grid(), span, span.end);
  if (column == span.end && !onTrailingTab) return rowEnd(place.line, span, atRowEnd);
  atRowEnd = false;
  return {place.line, column};
}

TextPosition TextView::rowEnd(int line, wrap::RowSpan span, bool& atRowEnd) const {
  const QString& text = document_.lineText(line);
  atRowEnd = span.end < text.size();
  // A wrapped row that ends with the blank it broke after ends before that blank, as in a text
  // layout, where the column after it starts the next row: typed text goes after the last word.
  if (atRowEnd && text[span.end - 1].isSpace()) {
    atRowEnd = false;
    return {line, span.end - 1};
  }
  return {line, span.end};
}

QRect TextView::characterRect(TextPosition at) const {
  at = document_.clamped(at);
  const Place place = placeOf(at, false);
  const QString& text = document_.lineText(at.line);
  qreal cells = 1;
  for (wrap::CellWalker w(text, rows_.grid(), place.span.start); !w.atEnd(); w.next()) {
    if (w.column() == at.column) {
      cells = w.width();
      break;
    }
  }
  const qsizetype row = rows_.firstRowOf(at.line) + place.row;
  return QRectF(kMargin + place.cell * cellWidth_, rowTop(row), cells * cellWidth_, rowHeight_)
      .toAlignedRect();
}

QRect TextView::caretRect() const { return caretRectOf(caret(), editing_.caretAtRowEnd()); }

QRect TextView::caretRectOf(TextPosition at, bool atRowEnd) const {
  at = document_.clamped(at);
  const Place place = placeOf(at, atRowEnd);
  const qsizetype row = rows_.firstRowOf(at.line) + place.row;
  return QRect(static_cast<int>(std::floor(kMargin + place.cell * cellWidth_)), rowTop(row), 1,
               rowHeight_);
}

void TextView::updateRows(qsizetype firstRow, qsizetype lastRow) {
  const qsizetype top = std::max(firstRow, topRow());
  const qsizetype bottom = std::min(lastRow, topRow() + visibleRows());
  if (top > bottom) return;
  viewport()->update(QRect(0, rowTop(top), viewport()->width(), rowTop(bottom + 1) - rowTop(top)));
}

void TextView::ensureCaretVisible() {
  const qsizetype row = rowOf(caret(), editing_.caretAtRowEnd());
  QScrollBar* bar = verticalScrollBar();
  if (row < topRow()) {
    bar->setValue(NearestInt(row));
  } else if (row >= topRow() + visibleRows()) {
    bar->setValue(NearestInt(row - visibleRows() + 1));
  }
}

void TextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  rewrap();
  updateScrollRange();
}

void TextView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    updateMetrics();
    rewrap(true);
  } else if (event->type() == QEvent::PaletteChange) {
    rowCache_.clear();
    viewport()->update();
  }
}

void TextView::scrollContentsBy(int, int dy) {
  // A jump across the scroll range times the row height is past what an int holds.
  const qsizetype pixels = qsizetype{dy} * rowHeight_;
  const QRect content = contentRect();
  if (std::abs(pixels) < content.height()) {
    viewport()->scroll(0, static_cast<int>(pixels), content);
  } else {
    viewport()->update();
  }
}

// ---- painting ----

RowCache::Row& TextView::laidRow(int line, qsizetype row) {
  if (RowCache::Row* cached = rowCache_.find(line, row)) return *cached;
  const QString& text = document_.lineText(line);
  RowCache::Row laid;
  laid.absoluteRow = rows_.firstRowOf(line) + row;
  laid.span = rows_.span(line, row);
  laid.laid = glyphs_.layRow(text, rows_.grid(), laid.span);
  return rowCache_.store(line, row, std::move(laid));
}

RowCache::Selection TextView::selectedCells(int line, wrap::RowSpan span) const {
  if (!hasSelection()) return {};
  const auto [from, to] = editing_.selection();
  if (line < from.line || line > to.line) return {};
  const QString& text = document_.lineText(line);
  const qsizetype start = std::max(span.start, line == from.line ? from.column : 0);
  const qsizetype end = line == to.line ? std::min(span.end, to.column) : span.end;
  // A selected line break shows as one highlighted cell after the line's last row.
  const bool breakSelected = span.end == text.size() && line < to.line;
  if (start > end || (start == end && !breakSelected)) return {};
  const bool plain = rows_.isPlain(line);
  return {wrap::CellOf(text, plain, rows_.grid(), span, start),
          wrap::CellOf(text, plain, rows_.grid(), span, end) + (breakSelected ? 1 : 0)};
}

int TextView::rowImageWidth() const {
  // The cells of a full row, the selected line-break cell after them and a pixel of overhang.
  return kMargin + static_cast<int>(std::ceil((rows_.columns() + 1) * cellWidth_)) + 1;
}

std::pair<int, int> TextView::selectionPixels(RowCache::Selection selection) const {
  return {qRound(kMargin + selection.start * cellWidth_), qRound(kMargin + selection.end * cellWidth_)};
}

void TextView::drawRow(RowCache::Row& row, int line, RowCache::Selection selected) {
  const qreal ratio = masks_.ratio();
  // Tall enough for the row wherever it lands; a row that lands on a device pixel fewer shows
  // all but its last.
  const QSize pixels(DeviceExtent(rowImageWidth(), ratio), DeviceExtent(rowHeight_, ratio));
  const auto [bandLeft, bandRight] = selectionPixels(selected);
  const QPalette& colours = palette();
  if (row.image.isNull()) row.image = rowCache_.takeSpareImage();
  const RowRaster::Colours plain{shownColour(line), colours.color(QPalette::Base)};
  // A row without a selection and without overlapping glyphs, nearly every row, is drawn from
  // coloured masks; any other from its coverage.
  if (bandLeft != bandRight ||
      !raster_.renderDirect(row.image, ratio, pixels, masks_, row.laid.glyphs, kMargin, plain)) {
    coverage_.reset(pixels);
    for (const PlacedGlyph& glyph : row.laid.glyphs) masks_.add(coverage_, glyph, kMargin);
    raster_.render(row.image, ratio, coverage_, plain, bandLeft, bandRight,
                   {colours.color(QPalette::HighlightedText), colours.color(QPalette::Highlight)});
  }
  row.drawn = true;
  row.drawnSelection = selected;
}

void TextView::paintRowWithQt(QPainter& painter, const QRect& band, const RowCache::Row& row,
                              int line, RowCache::Selection selected) {
  const qreal ratio = masks_.ratio();
  const auto [bandLeft, bandRight] = selectionPixels(selected);
  const QRect selection(QPoint(band.left() + qRound(bandLeft * ratio), band.top()),
                        QPoint(band.left() + qRound(bandRight * ratio) - 1, band.bottom()));
  const QPalette& colours = palette();
  painter.fillRect(band, colours.color(QPalette::Base));
  painter.fillRect(selection, colours.color(QPalette::Highlight));
  // The glyphs are drawn in logical pixels, from the logical point of the band's corner.
  const QPointF origin =
      painter.worldTransform().map(QPointF(band.topLeft())) + QPointF(kMargin, ascent_);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const std::pair<QRegion, QColor> parts[] = {
      {QRegion(band) - selection, shownColour(line)},
      {QRegion(selection), colours.color(QPalette::HighlightedText)}};
  for (const auto& [area, colour] : parts) {
    if (area.isEmpty()) continue;
    painter.save();
    painter.setClipRegion(area, Qt::IntersectClip);
    painter.setWorldTransform(QTransform());
    painter.setPen(colour);
    glyphs_.draw(painter, origin, row.laid.glyphs);
    painter.restore();
  }
  painter.setCompositionMode(QPainter::CompositionMode_Source);
}

namespace {

// Where viewport coordinates land on the paint device, in whole device pixels. An edge at a
// logical coordinate lands on the device pixel edge nearest to it, so the rows (and the caret
// in its row) tile the device with no gap or overlap at any ratio, 1.5 as well as 2.
class DevicePixels {
 public:
  explicit DevicePixels(const QTransform& toDevice) : toDevice_(toDevice) {}
  qreal ratio() const { return toDevice_.m22(); }
  int x(qreal logical) const { return qRound(toDevice_.dx() + logical * toDevice_.m11()); }
  int y(qreal logical) const { return qRound(toDevice_.dy() + logical * toDevice_.m22()); }
  // The device pixels between the edges of a rectangle.
  QRect edges(const QRect& logical) const {
    return QRect(
        QPoint(x(logical.left()), y(logical.top())),
        QPoint(x(logical.left() + logical.width()) - 1, y(logical.top() + logical.height()) - 1));
  }
  // Every device pixel a rectangle touches.
  QRect touched(const QRect& logical) const {
    const QRectF device = toDevice_.mapRect(QRectF(logical));
    return QRect(QPoint(static_cast<int>(std::floor(device.left())),
                        static_cast<int>(std::floor(device.top()))),
                 QPoint(static_cast<int>(std::ceil(device.right())) - 1,
                        static_cast<int>(std::ceil(device.bottom())) - 1));
  }

 private:
  QTransform toDevice_;
};

}  // namespace

void TextView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  // Rows are copied to whole device pixels: at a fractional ratio a logical row boundary falls
  // inside a device pixel, where images copied at their logical places would leave a gap or
  // overlap. So the rows and what lies around them are painted in device pixels.
  const QTransform toDevice = painter.deviceTransform();
  const DevicePixels device(toDevice);
  if (device.ratio() != masks_.ratio()) {
    // Moved to a screen of another pixel ratio, or drawn into an image of one: every glyph and
    // row is drawn anew.
    masks_.reset(glyphs_, rowHeight_, ascent_, device.ratio());
    rowCache_.clear();
  }
  const QRect exposed = event->rect();
  const QRect content = contentRect();
  const qsizetype top = topRow();
  // The rows the exposed area touches, and the row on either side, which the device pixel
  // rows at its edges may belong to.
  const qsizetype first =
      top + std::max(0, (std::max(exposed.top(), content.top()) - kMargin) / rowHeight_ - 1);
  const qsizetype last =
      std::min({rows_.totalRows() - 1,
                top + (std::min(exposed.bottom(), content.bottom()) - kMargin) / rowHeight_ + 1,
                top + (content.bottom() - kMargin) / rowHeight_});
  painter.setWorldTransform(toDevice.inverted());  // from here on, device pixels
  const QRect area = device.touched(exposed);
  const QRect rowsArea = device.edges(content) & area;
  QRegion background(area);
  if (!rowsArea.isEmpty() && first <= last) {
    painter.setClipRect(rowsArea);
    // The row images are opaque: copied, not blended.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int left = device.x(0);
    const int rowPixels = DeviceExtent(rowImageWidth(), device.ratio());
    // Subpixel text only Qt draws, and only onto the widget itself: every row then is.
    const bool qtDrawsRows = raster_.drawsSubpixel();
    RowIndex::RowPlace place = rows_.placeOf(first);
    for (qsizetype row = first; row <= last; ++row) {
      RowCache::Row& laid = laidRow(place.line, place.row);
      const RowCache::Selection selected = selectedCells(place.line, laid.span);
      const QRect band(QPoint(left, device.y(rowTop(row))),
                       QPoint(left + rowPixels - 1, device.y(rowTop(row + 1)) - 1));
      if (laid.laid.colourGlyphs || qtDrawsRows) {
        paintRowWithQt(painter, band, laid, place.line, selected);
      } else {
        if (!laid.drawn || laid.drawnSelection != selected) drawRow(laid, place.line, selected);
        painter.drawImage(band, laid.image, QRect(QPoint(0, 0), band.size()));
      }
      background -= band & rowsArea;
      if (++place.row == rows_.rowsOf(place.line)) place = {place.line + 1, 0};
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipping(false);
  }
  for (const QRect& rect : background) painter.fillRect(rect, palette().brush(QPalette::Base));
  painter.setClipRect(device.edges(content));
  if (preedit_.text.isEmpty() && hasFocus() && caretShown_) {
    // Within the device pixels that an update of the caret's rectangle paints anew.
    const QRect caret = caretRect();
    painter.fillRect(QRect(device.x(caret.left()), device.y(caret.top()),
                           std::max(1, static_cast<int>(device.ratio())),
                           static_cast<int>(rowHeight_ * device.ratio())),
                     palette().brush(QPalette::Text));
  }
  painter.setWorldTransform(QTransform());
  if (!preedit_.text.isEmpty()) {
    painter.setClipRect(content);
    paintPreedit(painter);
  }
  rowCache_.keepOnly(top, top + visibleRows() + 1);
}

// ---- offsets and accessibility notices ----

qsizetype TextView::offsetOf(TextPosition at) const {
  at = document_.clamped(at);
  if (lineOffsets_.empty()) lineOffsets_.push_back(0);
  while (static_cast<int>(lineOffsets_.size()) <= at.line) {
    const int line = static_cast<int>(lineOffsets_.size()) - 1;
    lineOffsets_.push_back(lineOffsets_.back() + document_.lineText(line).size() + 1);
  }
  return lineOffsets_[at.line] + at.column;
}

TextPosition TextView::positionAtOffset(qsizetype offset) const {
  offsetOf({document_.lineCount() - 1, 0});  // every line's offset known
  offset = std::clamp<qsizetype>(offset, 0, plainLength_);
  const int line =
      static_cast<int>(std::upper_bound(lineOffsets_.begin(), lineOffsets_.end(), offset) -
                       lineOffsets_.begin() - 1);
  return document_.clamped({line, offset - lineOffsets_[line]});
}

void TextView::noticeCaret() {
  if (!QAccessible::isActive()) return;
  QAccessibleTextCursorEvent cursorEvent(this, NearestInt(offsetOf(caret())));
  QAccessible::updateAccessibility(&cursorEvent);
  const auto [from, to] = editing_.selection();
  QAccessibleTextSelectionEvent selectionEvent(this, NearestInt(offsetOf(from)),
                                               NearestInt(offsetOf(to)));
  QAccessible::updateAccessibility(&selectionEvent);
}

void TextView::noticeChange(qsizetype offset, qsizetype removedLength, const QString& inserted) {
  const int at = NearestInt(offset);
  if (removedLength == 0 && inserted.isEmpty()) return;
  const QString removed(removedLength, u' ');
  if (removedLength == 0) {
    QAccessibleTextInsertEvent event(this, at, inserted);
    QAccessible::updateAccessibility(&event);
  } else if (inserted.isEmpty()) {
    QAccessibleTextRemoveEvent event(this, at, removed);
    QAccessible::updateAccessibility(&event);
  } else {
    QAccessibleTextUpdateEvent event(this, at, removed, inserted);
    QAccessible::updateAccessibility(&event);
  }
}

}  // namespace textview
