#include "textview/glyph_masks.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

namespace textview {

namespace {

// Qt's blend of a solid pen at `coverage` over what a transparent image holds: the source-over
// of its alpha, with Qt's rounded division by 255. Over 0 it gives `coverage`, at 0 `under`, so it
// needs no branch.
quint8 blendCoverage(unsigned under, unsigned coverage) {
  const unsigned t = under * (255u - coverage);
  return static_cast<quint8>(coverage + ((t + (t >> 8) + 0x80) >> 8));
}

// Copies `rows` rows of `width` pixels. A glyph's mask is a few pixels wide: a copy whose width
// the compiler knows is a move or two, where a call to memmove for each row costs several times
// the copy.
template <int kWidth>
void copyRowsOf(const QRgb* from, qsizetype fromStride, QRgb* to, qsizetype toStride, int rows) {
  for (int y = 0; y < rows; ++y, from += fromStride, to += toStride)
    std::memcpy(to, from, kWidth * sizeof(QRgb));
}

template <int... kWidths>
void copyRowsUpTo(std::integer_sequence<int, kWidths...>, const QRgb* from, qsizetype fromStride,
                  QRgb* to, qsizetype toStride, int rows, int width) {
  using Copy = void (*)(const QRgb*, qsizetype, QRgb*, qsizetype, int);
  static constexpr Copy kCopies[] = {copyRowsOf<kWidths>...};
  if (width < static_cast<int>(std::size(kCopies))) {
    kCopies[width](from, fromStride, to, toStride, rows);
    return;
  }
  for (int y = 0; y < rows; ++y, from += fromStride, to += toStride) std::copy_n(from, width, to);
}

void copyRows(const QRgb* from, qsizetype fromStride, QRgb* to, qsizetype toStride, int rows,
              int width) {
  copyRowsUpTo(std::make_integer_sequence<int, 25>(), from, fromStride, to, toStride, rows, width);
}

}  // namespace

void GlyphCoverage::reset(QSize size) {
  size_ = size;
  values_.assign(static_cast<size_t>(size.width()) * size.height(), 0);
}

void GlyphMasks::reset(const RowGlyphs& glyphs, int rowHeight, qreal baseline, qreal ratio) {
  glyphs_ = &glyphs;
  rowHeight_ = rowHeight;
  baseline_ = baseline;
  ratio_ = ratio;
  forget();
}

void GlyphMasks::forget() {
  index_.clear();
  recent_.fill({});
  masks_.clear();
  heldBytes_ = 0;
}

void GlyphMasks::forgetIfFull() {
  if (heldBytes_ > kMostHeldBytes) forget();
}

GlyphMasks::Mask& GlyphMasks::maskFor(const Key& key, const PlacedGlyph& glyph) {
  // A row meets the same few glyphs at the same few fractions again and again: a slot a key
  // maps to by a multiplicative hash answers most lookups without a hash table. The fields are
  // spread by odd constants, so that glyphs whose numbers differ by a power of two (a font
  // numbers its digits and letters in runs) do not share a slot and evict each other.
  static_assert(std::has_single_bit(std::tuple_size_v<decltype(recent_)>));
  constexpr int kSlotBits = std::countr_zero(std::tuple_size_v<decltype(recent_)>);
  const quint32 mixed = key.glyph * 0x9E3779B1u ^ static_cast<quint32>(key.fraction) * 0x85EBCA77u ^
                        static_cast<quint32>(key.font) * 0xC2B2AE3Du ^
                        static_cast<quint32>(key.y) * 0x27D4EB2Fu;
  Recent& recent = recent_[mixed >> (32 - kSlotBits)];
  if (recent.mask != nullptr && recent.key == key) return *recent.mask;
  const auto found = index_.constFind(key);
  recent = {key, found != index_.constEnd() ? *found : &drawMask(key, glyph)};
  return *recent.mask;
}

GlyphMasks::Mask& GlyphMasks::drawMask(const Key& key, const PlacedGlyph& glyph) {
  // Drawn with the pen on a whole device pixel plus the key's fraction, room on either side for
  // the widest glyph (two cells, about a row high) and its overhang.
  const int room = static_cast<int>(std::ceil(2 * rowHeight_ * ratio_)) + 2;
  QImage image(QSize(3 * room, DeviceExtent(rowHeight_, ratio_)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio_);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setPen(Qt::white);
    const QPointF pen((room + key.fraction / 64.0) / ratio_, baseline_ + key.y / 64.0 / ratio_);
    PlacedGlyph atPen = glyph;
    atPen.at = {};
    glyphs_->draw(painter, pen, {&atPen, 1});
  }
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(pixels[x]) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Mask mask;
  if (right >= left) {
    mask.left = left - room;
    mask.width = right - left + 1;
    mask.top = top;
    mask.height = bottom - top + 1;
    mask.values.resize(static_cast<size_t>(mask.width) * mask.height);
    for (int y = 0; y < mask.height; ++y) {
      const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(top + y));
      for (int x = 0; x < mask.width; ++x)
        mask.values[static_cast<size_t>(y) * mask.width + x] =
            static_cast<quint8>(qAlpha(pixels[left + x]));
    }
  }
  heldBytes_ += sizeof(Mask) + mask.values.size();
  Mask& kept = masks_.emplace_back(std::move(mask));
  index_.insert(key, &kept);
  return kept;
}

GlyphMasks::Placed GlyphMasks::place(const PlacedGlyph& glyph, qreal left, QSize target) {
  // The pen's device x in Qt's 1/64 steps: its whole pixel and the fraction the mask is for.
  // Rounded as Qt rounds a position to its fixed point.
  const qint64 penX = qRound64((left + glyph.at.x()) * ratio_ * 64);
  const int penY = qRound(glyph.at.y() * ratio_ * 64);
  Mask& mask = maskFor({glyph.font, glyph.glyph, static_cast<int>(penX & 63), penY}, glyph);
  const int x0 = static_cast<int>(penX >> 6) + mask.left;
  return {mask, x0, std::max(0, -x0), std::min(mask.width, target.width() - x0),
          std::min(mask.height, target.height() - mask.top)};
}

void GlyphMasks::add(GlyphCoverage& coverage, const PlacedGlyph& glyph, qreal left) {
  forgetIfFull();
  const auto [mask, x0, from, to, rows] = place(glyph, left, coverage.size());
  for (int y = 0; y < rows && from < to; ++y) {
    const quint8* source = mask.values.data() + static_cast<size_t>(y) * mask.width;
    quint8* target = coverage.row(mask.top + y) + x0;
    for (int x = from; x < to; ++x) target[x] = blendCoverage(target[x], source[x]);
  }
}

const std::vector<QRgb>& GlyphMasks::colouredPixels(Mask& mask, const ColourTable& table,
                                                    quint64 tableKey) {
  for (const Mask::Coloured& coloured : mask.coloured) {
    if (coloured.tableKey == tableKey) return coloured.pixels;
  }
  std::vector<QRgb> pixels(mask.values.size());
  std::transform(mask.values.begin(), mask.values.end(), pixels.begin(),
                 [&](quint8 value) { return table[value]; });
  heldBytes_ += sizeof(Mask::Coloured) + pixels.size() * sizeof(QRgb);
  mask.coloured.push_back({tableKey, std::move(pixels)});
  return mask.coloured.back().pixels;
}

bool GlyphMasks::drawColoured(QImage& image, const std::vector<PlacedGlyph>& glyphs, qreal left,
                              const ColourTable& table, quint64 tableKey) {
  forgetIfFull();
  uchar* const bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  // Neighbouring glyphs may share a column of edge pixels. There the coverage of the glyph
  // before, read from its mask, blends with this one's before it takes a colour; a column that
  // a third glyph shares too is left to a coverage.
  struct Before {  // the glyph before: its mask and where that lies
    const quint8* values = nullptr;
    int width = 0;
    int top = 0;
    int height = 0;
    int x0 = 0;
    int from = 0;  // its columns in the image, [from, to); none before the first glyph
    int to = 0;
  } before;
  int earlierTo = std::numeric_limits<int>::min();  // right of the columns of all glyphs before it
  for (const PlacedGlyph& glyph : glyphs) {
    const auto [mask, x0, from, to, rows] = place(glyph, left, image.size());
    if (from >= to || rows <= 0) continue;
    if (x0 + from < earlierTo || x0 + from < before.from) return false;
    const std::vector<QRgb>& pixels = colouredPixels(mask, table, tableKey);
    const int shared = std::clamp(before.to - x0, from, to);  // columns [from, shared)
    // The columns this glyph has alone are copied row after row, the shared ones blended after:
    // a row costs a copy and two pointer steps.
    copyRows(pixels.data() + shared, mask.width,
             reinterpret_cast<QRgb*>(bits + mask.top * stride) + x0 + shared,
             stride / qsizetype{sizeof(QRgb)}, rows, to - shared);
    for (int y = 0; y < rows && from < shared; ++y) {
      const int imageY = mask.top + y;
      const size_t at = static_cast<size_t>(y) * mask.width;
      QRgb* target = reinterpret_cast<QRgb*>(bits + imageY * stride) + x0;
      const int beforeY = imageY - before.top;
      const bool beforeHasRow = beforeY >= 0 && beforeY < before.height;
      for (int x = from; x < shared; ++x) {
        const quint8 under =
            beforeHasRow
                ? before.values[static_cast<size_t>(beforeY) * before.width + x0 + x - before.x0]
                : 0;
        target[x] = table[blendCoverage(under, mask.values[at + x])];
      }
    }
    earlierTo = std::max(earlierTo, before.to);
    before = {mask.values.data(), mask.width, mask.top, mask.height, x0, x0 + from, x0 + to};
  }
  return true;
}

}  // namespace textview
