#include "app/log_view_raster.h"

#include <QFont>
#include <QPainter>
#include <cmath>

namespace app {

namespace {

using Table = std::array<QRgb, 256>;

// Text of `text` colour over `background` at each coverage, blended in linear light.
Table blendTable(const QColor& text, const QColor& background, qreal gamma) {
  const auto linear = [gamma](int v) { return std::pow(v / 255.0, gamma); };
  Table table;
  for (int coverage = 0; coverage < 256; ++coverage) {
    const auto channel = [&](int over, int under) {
      const qreal mixed = (linear(over) * coverage + linear(under) * (255 - coverage)) / 255.0;
      return static_cast<int>(std::lround(255.0 * std::pow(mixed, 1.0 / gamma)));
    };
    table[coverage] =
        qRgb(channel(text.red(), background.red()), channel(text.green(), background.green()),
             channel(text.blue(), background.blue()));
  }
  return table;
}

// The gamma of Qt's text blending in this font: a sample drawn by Qt onto an opaque image against
// the same sample's coverage coloured by tables of candidate gammas; the closest wins (1 is
// plain blending).
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
  qreal best = 1.0;
  qint64 bestError = -1;
  for (qreal gamma = 1.0; gamma < 2.51; gamma += 0.05) {
    const Table table = blendTable(Qt::black, Qt::white, gamma);
    qint64 error = 0;
    for (int y = 0; y < size.height(); ++y) {
      const auto* drawn = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
      const auto* coverage = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
      for (int x = 0; x < size.width(); ++x) {
        if (qAlpha(coverage[x]) == 0 || qAlpha(coverage[x]) == 255) continue;
        error += std::abs(qGray(drawn[x]) - qGray(table[qAlpha(coverage[x])]));
      }
    }
    if (bestError < 0 || error < bestError) {
      bestError = error;
      best = gamma;
    }
  }
  return best;
}

}  // namespace

void LogTextRaster::setFont(const QFont& font) {
  gamma_ = textGamma(font);
  tables_.clear();
}

const LogTextRaster::Table& LogTextRaster::tableFor(const Colours& colours) {
  const quint64 key = (static_cast<quint64>(colours.text.rgb()) << 32) | colours.background.rgb();
  auto found = tables_.find(key);
  if (found == tables_.end()) {
    found = tables_.insert(key, blendTable(colours.text, colours.background, gamma_));
  }
  return *found;
}

void LogTextRaster::render(QImage& image, QSize size, qreal ratio,
                           const std::function<void(QPainter&)>& draw, const Colours& plain,
                           int bandLeft, int bandRight, const Colours& band) {
  if (image.size() != size * ratio || image.format() != QImage::Format_ARGB32_Premultiplied) {
    image = QImage(size * ratio, QImage::Format_ARGB32_Premultiplied);
  }
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setPen(Qt::white);
    draw(painter);
  }
  const Table& plainTable = tableFor(plain);
  const Table& bandTable = tableFor(band);
  const int width = image.width();
  const int left = std::clamp(static_cast<int>(std::lround(bandLeft * ratio)), 0, width);
  const int right = std::clamp(static_cast<int>(std::lround(bandRight * ratio)), left, width);
  for (int y = 0; y < image.height(); ++y) {
    auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < left; ++x) pixels[x] = plainTable[qAlpha(pixels[x])];
    for (int x = left; x < right; ++x) pixels[x] = bandTable[qAlpha(pixels[x])];
    for (int x = right; x < width; ++x) pixels[x] = plainTable[qAlpha(pixels[x])];
  }
}

}  // namespace app
