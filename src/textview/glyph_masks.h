#pragma once
// The coverage of a row of the text, put together from glyph masks without a painter. Qt draws a
// glyph into a transparent image as its coverage placed at the pen, whose device x it takes in
// 1/64 pixel steps: so each glyph is drawn by Qt once for each step it is met at, its coverage
// kept, and a row is drawn by copying the masks of its glyphs to their pixels, blended where
// two overlap as Qt blends them. The result is the coverage Qt's own drawing of the row gives,
// at a fraction of its cost (no painter, no dispatch per glyph, a byte a pixel). A mask is drawn
// for the row's height and baseline, so only x varies. row_raster.h colours the coverage.
// The masks are a cache of bounded size: when they pass it, all are forgotten before the next
// row and drawn again as they are met (a screen of distinct Chinese characters fits).

#include <QHash>
#include <QImage>
#include <QSize>
#include <array>
#include <cmath>
#include <deque>
#include <vector>

#include "textview/row_glyphs.h"

namespace textview {

// A row's coverage, a byte a device pixel, 0 where nothing is drawn.
class GlyphCoverage {
 public:
  // Every value 0, `size` device pixels.
  void reset(QSize size);
  QSize size() const { return size_; }
  const quint8* row(int y) const { return values_.data() + static_cast<size_t>(y) * size_.width(); }
  quint8* row(int y) { return values_.data() + static_cast<size_t>(y) * size_.width(); }

 private:
  QSize size_;
  std::vector<quint8> values_;
};

// The device pixels that hold `logical` pixels at `ratio`, wherever they begin: at a fractional
// ratio, a device pixel more than they cover.
inline int DeviceExtent(int logical, qreal ratio) {
  return static_cast<int>(std::ceil(logical * ratio - 1e-9));
}

// The colour of each coverage, for one text colour over one background.
using ColourTable = std::array<QRgb, 256>;

class GlyphMasks {
 public:
  // Forgets every mask; masks are drawn from now on by `glyphs` for rows `rowHeight` high
  // (device-independent pixels) with the baseline at `baseline`, at `ratio`.
  void reset(const RowGlyphs& glyphs, int rowHeight, qreal baseline, qreal ratio);
  qreal ratio() const { return ratio_; }
  // Adds a glyph to the coverage, its pen at `left` (device-independent pixels from the row's
  // left edge) plus its place.
  void add(GlyphCoverage& coverage, const PlacedGlyph& glyph, qreal left);
  // Copies each glyph's mask, coloured through `table` (told apart from other tables by
  // `tableKey`), into `image`, which holds the background: the pixels the coverage of these
  // glyphs coloured through `table` gives. False where a pixel column is shared by more than
  // two glyphs, or the glyphs do not go from left to right as a row lays them; `image` is then
  // drawn only in part.
  bool drawColoured(QImage& image, const std::vector<PlacedGlyph>& glyphs, qreal left,
                    const ColourTable& table, quint64 tableKey);
  // The bytes the masks and their coloured copies hold: past kMostHeldBytes by a row's at most.
  size_t heldBytes() const { return heldBytes_; }
  static constexpr size_t kMostHeldBytes = size_t{8} << 20;

 private:
  struct Key {
    int font;
    quint32 glyph;
    int fraction;  // of the pen's device x, in 1/64 pixel
    int y;         // the pen's device y from the baseline, in 1/64 pixel
    bool operator==(const Key&) const = default;
    friend size_t qHash(const Key& key, size_t seed) {
      return qHashMulti(seed, key.font, key.glyph, key.fraction, key.y);
    }
  };
  struct Mask {  // the drawn pixels' bounds, from the pen's whole device pixel
    int left = 0;
    int width = 0;
    int top = 0;
    int height = 0;
    std::vector<quint8> values;
    struct Coloured {
      quint64 tableKey;
      std::vector<QRgb> pixels;
    };
    std::vector<Coloured> coloured;  // the values through each table met, made when first met
  };
  struct Placed {  // a glyph's mask placed in a target of some size
    Mask& mask;
    int x0;    // the device x of the mask's left column
    int from;  // the mask's columns in the target, [from, to)
    int to;
    int rows;  // the mask's rows in the target
  };
  struct Recent {
    Key key{};
    Mask* mask = nullptr;
  };
  void forget();
  // Forgets every mask once they hold more than the bound: only where no mask is in use.
  void forgetIfFull();
  Mask& maskFor(const Key& key, const PlacedGlyph& glyph);
  Mask& drawMask(const Key& key, const PlacedGlyph& glyph);
  Placed place(const PlacedGlyph& glyph, qreal left, QSize target);
  const std::vector<QRgb>& colouredPixels(Mask& mask, const ColourTable& table, quint64 tableKey);

  const RowGlyphs* glyphs_ = nullptr;
  int rowHeight_ = 1;
  qreal baseline_ = 0;
  qreal ratio_ = 1;
  std::deque<Mask> masks_;  // in the order drawn; a deque keeps each in place as it grows
  QHash<Key, Mask*> index_;
  std::array<Recent, 512> recent_{};
  size_t heldBytes_ = 0;
};

}  // namespace textview
