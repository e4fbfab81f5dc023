#include "textview/row_raster.h"

#include <QFont>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace textview {

namespace {

using Table = ColourTable;

// Text of `text` colour over `background` at each coverage, blended in linear light.
Table blendTable(const QColor& text, const QColor& background, qreal gamma) {
  const auto linear = [gamma](int v) { return std::pow(v / 255.0, gamma); };
  const qreal over[] = {linear(text.red()), linear(text.green()), linear(text.blue())};
  const qreal under[] = {linear(background.red()), linear(background.green()),
                         linear(background.blue())};
  Table table;
  for (int coverage = 0; coverage < 256; ++coverage) {
    int channels[3];
    for (int i = 0; i < 3; ++i) {
      const qreal mixed = (over[i] * coverage + under[i] * (255 - coverage)) / 255.0;
      channels[i] = static_cast<int>(std::lround(255.0 * std::pow(mixed, 1.0 / gamma)));
    }
    table[coverage] = qRgb(channels[0], channels[1], channels[2]);
  }
  return table;
}

// The gamma of Qt's text blending in this font: a sample drawn by Qt onto an opaque image against
// the same sample's coverage coloured by candidate gammas; the closest wins (1 is plain
// blending). Black on white, a coverage c gives the grey 255 * ((255 - c) / 255) ^ (1 / gamma).
qreal textGamma(const QFont& font) {
  const QSize size(240, 24);
  QImage opaque(size, QImage::Format_RGB32);
  opaque.fill(Qt::white);
  QImage mask(size, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  const QString sample = QStringLiteral("0123456789ABCDEF abcdefxyz 报文");
  for (QImage* image : {&opaque, &mask}) {
    QPainter painter(image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(2, 17), sample);
  }
  // Each grey drawn at each partial coverage, and how often: a few hundred pairs at most.
  struct Drawn {
    int coverage;
    int grey;
    int count;
  };
  std::vector<Drawn> drawnPairs;
  {
    std::vector<int> counts(256 * 256, 0);
    for (int y = 0; y < size.height(); ++y) {
      const auto* drawn = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
      const auto* coverage = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
      for (int x = 0; x < size.width(); ++x) {
        const int c = qAlpha(coverage[x]);
        if (c != 0 && c != 255) ++counts[c * 256 + qGray(drawn[x])];
      }
    }
    for (int i = 0; i < 256 * 256; ++i) {
      if (counts[i] != 0) drawnPairs.push_back({i / 256, i % 256, counts[i]});
    }
  }
  qreal best = 1.0;
  qint64 bestError = -1;
  for (qreal gamma = 1.0; gamma < 2.51; gamma += 0.05) {
    std::array<int, 256> expected{};
    for (int c = 1; c < 255; ++c)
      expected[c] = static_cast<int>(std::lround(255.0 * std::pow((255 - c) / 255.0, 1.0 / gamma)));
    qint64 error = 0;
    for (const Drawn& d : drawnPairs)
      error += static_cast<qint64>(d.count) * std::abs(d.grey - expected[d.coverage]);
    if (bestError < 0 || error < bestError) {
      bestError = error;
      best = gamma;
    }
  }
  return best;
}

// Whether Qt draws `font` in subpixel colours: a widget drawing a black sample on white, grabbed
// as it paints (a painter on an image never draws them), shows colour where it does.
bool qtDrawsSubpixel(const QFont& font) {
  class Sample : public QWidget {
   protected:
    void paintEvent(QPaintEvent*) override {
      QPainter painter(this);
      painter.fillRect(rect(), Qt::white);
      painter.setPen(Qt::black);
      painter.drawText(QPoint(2, height() - 6), QStringLiteral("0123456789ABCDEF abcdefxyz"));
    }
  } sample;
  sample.setFont(font);
  sample.resize(240, 24);
  const QImage drawn = sample.grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < drawn.height(); ++y) {
    const auto* pixels = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
    for (int x = 0; x < drawn.width(); ++x) {
      if (qRed(pixels[x]) != qGreen(pixels[x]) || qGreen(pixels[x]) != qBlue(pixels[x]))
        return true;
    }
  }
  return false;
}

// Pixels [from, to) of a row take the colours of their coverage. Most of a row is background:
// eight pixels of no coverage are filled at once.
void colourSpan(QRgb* pixels, const quint8* values, int from, int to, const Table& table) {
  const QRgb background = table[0];
  int x = from;
  for (; x + 8 <= to; x += 8) {
    quint64 eight;
    std::memcpy(&eight, values + x, sizeof eight);
    if (eight == 0) {
      std::fill_n(pixels + x, 8, background);
      continue;
    }
    for (int i = x; i < x + 8; ++i) pixels[i] = table[values[i]];
  }
  for (; x < to; ++x) pixels[x] = table[values[x]];
}

}  // namespace

void RowRaster::setFont(const QFont& font) {
  font_ = font;
  gamma_.reset();
  subpixel_.reset();
  tables_.clear();
}

bool RowRaster::drawsSubpixel() {
  if (!subpixel_) subpixel_ = qtDrawsSubpixel(font_);
  return *subpixel_;
}

quint64 RowRaster::keyOf(const Colours& colours) {
  return (static_cast<quint64>(colours.text.rgb()) << 32) | colours.background.rgb();
}

const RowRaster::Table& RowRaster::tableFor(const Colours& colours) {
  const quint64 key = keyOf(colours);
  auto found = tables_.find(key);
  if (found == tables_.end()) {
    if (!gamma_) gamma_ = textGamma(font_);
    found = tables_.emplace(key, blendTable(colours.text, colours.background, *gamma_)).first;
  }
  return found->second;
}

void RowRaster::prepare(QImage& image, QSize pixels, qreal ratio) {
  if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied) {
    image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  }
  image.setDevicePixelRatio(ratio);
}

void RowRaster::render(QImage& image, qreal ratio, const GlyphCoverage& coverage,
                       const Colours& plain, int bandLeft, int bandRight, const Colours& band) {
  prepare(image, coverage.size(), ratio);
  const Table& plainTable = tableFor(plain);
  const Table& bandTable = tableFor(band);
  const int width = image.width();
  const int left = std::clamp(static_cast<int>(std::lround(bandLeft * ratio)), 0, width);
  const int right = std::clamp(static_cast<int>(std::lround(bandRight * ratio)), left, width);
  for (int y = 0; y < image.height(); ++y) {
    const quint8* values = coverage.row(y);
    auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
    colourSpan(pixels, values, 0, left, plainTable);
    colourSpan(pixels, values, left, right, bandTable);
    colourSpan(pixels, values, right, width, plainTable);
  }
}

bool RowRaster::renderDirect(QImage& into, qreal ratio, QSize pixels, GlyphMasks& masks,
                             const std::vector<PlacedGlyph>& glyphs, qreal left,
                             const Colours& colours) {
  prepare(into, pixels, ratio);
  const Table& table = tableFor(colours);
  into.fill(table[0]);
  return masks.drawColoured(into, glyphs, left, table, keyOf(colours));
}

}  // namespace textview
