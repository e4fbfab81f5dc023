#pragma once
// Draws a row of the log into an opaque image with the very pixels Qt's text drawing gives on an
// opaque surface, about five times faster. On an opaque surface Qt blends each glyph pixel with
// gamma correction, pixel by pixel through lookup tables; into a transparent image it blends
// plainly and fast. So the glyphs go into a transparent coverage mask first, then every pixel
// takes the colour of its coverage from a 256-entry table of the same gamma-corrected blend of
// text colour and background. Whether Qt corrects gamma, and by how much, depends on the font
// engine, so the gamma is measured for each font by drawing a sample in it both ways.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <array>
#include <functional>

class QPainter;

namespace app {

class LogTextRaster {
 public:
  struct Colours {
    QColor text;
    QColor background;
  };
  void setFont(const QFont& font);
  // Draws `into` as an opaque image of `size` (device-independent pixels, drawn at `ratio`),
  // in the memory it holds when it has that size already. `draw` paints the glyphs, in the pen
  // it is given, into the mask. Pixel columns [bandLeft, bandRight) take the band's colours
  // (the selection), the others the plain ones.
  void render(QImage& into, QSize size, qreal ratio, const std::function<void(QPainter&)>& draw,
              const Colours& plain, int bandLeft, int bandRight, const Colours& band);

 private:
  using Table = std::array<QRgb, 256>;
  const Table& tableFor(const Colours& colours);

  qreal gamma_ = 1.0;
  QHash<quint64, Table> tables_;
};

}  // namespace app
