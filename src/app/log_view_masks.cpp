#include "app/log_view_masks.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

// Qt's blend of a solid pen at `coverage` over what a transparent image holds: the source-over
// of its alpha, with Qt's rounded division by 255. Over 0 it gives `coverage`, at 0 `under`, so it
// needs no branch.
quint8 blendCoverage(unsigned under, unsigned coverage) {
  const unsigned t = under * (255u - coverage);
  return static_cast<quint8>(coverage + ((t + (t >> 8) + 0x80) >> 8));
}

}  // namespace

void LogCoverage::reset(QSize size) {
  size_ = size;
  values_.assign(static_cast<size_t>(size.width()) * size.height(), 0);
}

void LogGlyphMasks::reset(const LogGlyphs& glyphs, int rowHeight, qreal baseline, qreal ratio) {
  glyphs_ = &glyphs;
  rowHeight_ = rowHeight;
  baseline_ = baseline;
  ratio_ = ratio;
  masks_.clear();
}

const LogGlyphMasks::Mask& LogGlyphMasks::maskFor(const Key& key, const PlacedGlyph& glyph) {
  const auto found = masks_.constFind(key);
  if (found != masks_.constEnd()) return *found;
  // Drawn with the pen on a whole device pixel plus the key's fraction, room on either side for
  // the widest glyph (two cells, about a row high) and its overhang.
  const int room = static_cast<int>(std::ceil(2 * rowHeight_ * ratio_)) + 2;
  QImage image(QSize(3 * room, qRound(rowHeight_ * ratio_)), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio_);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setPen(Qt::white);
    const QPointF pen((room + key.fraction / 64.0) / ratio_, baseline_ + key.y / 64.0 / ratio_);
    PlacedGlyph atPen = glyph;
    atPen.at = {};
    glyphs_->draw(painter, pen, atPen);
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
  return *masks_.insert(key, std::move(mask));
}

void LogGlyphMasks::add(LogCoverage& coverage, const PlacedGlyph& glyph, qreal left) {
  // The pen's device x in Qt's 1/64 steps: its whole pixel and the fraction the mask is for.
  const qint64 penX = std::llround((left + glyph.at.x()) * ratio_ * 64);
  const int penY = static_cast<int>(std::lround(glyph.at.y() * ratio_ * 64));
  const Mask& mask = maskFor({glyph.font, glyph.glyph, static_cast<int>(penX & 63), penY}, glyph);
  const int x0 = static_cast<int>(penX >> 6) + mask.left;
  const int from = std::max(0, -x0);
  const int to = std::min(mask.width, coverage.size().width() - x0);
  const int rows = std::min(mask.height, coverage.size().height() - mask.top);
  for (int y = 0; y < rows && from < to; ++y) {
    const quint8* source = mask.values.data() + static_cast<size_t>(y) * mask.width;
    quint8* target = coverage.row(mask.top + y) + x0;
    for (int x = from; x < to; ++x) target[x] = blendCoverage(target[x], source[x]);
  }
}

}  // namespace app
