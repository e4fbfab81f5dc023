#pragma once
// Colours a row of the text into an opaque image with the very pixels Qt's text drawing gives on an
// opaque surface. On an opaque surface Qt blends each glyph pixel with gamma correction, pixel by
// pixel through lookup tables; into a transparent image it blends plainly and fast. So the row's
// glyphs are a coverage first (glyph_masks.h), then every pixel takes the colour of its
// coverage from a 256-entry table of the same gamma-corrected blend of text colour and
// background. Whether Qt corrects gamma, and by how much, depends on the font engine, so the
// gamma is measured for each font by drawing a sample in it both ways.
// Where the screen or the font settings ask for subpixel (LCD) text, Qt draws it in colour
// fringes, and only onto a widget: no image can hold those, so the view leaves such rows to Qt.

#include <QColor>
#include <QFont>
#include <QImage>
#include <array>
#include <optional>
#include <unordered_map>

#include "textview/glyph_masks.h"

namespace textview {

class RowRaster {
 public:
  struct Colours {
    QColor text;
    QColor background;
  };
  void setFont(const QFont& font);
  // Whether Qt draws the font's text onto a widget in subpixel colours.
  bool drawsSubpixel();
  // Draws `into` as an opaque image of the coverage's size (device pixels, shown at `ratio`), in
  // the memory it holds when it has that size already. Pixel columns [bandLeft, bandRight)
  // (device-independent) take the band's colours (the selection), the others the plain ones.
  void render(QImage& into, qreal ratio, const GlyphCoverage& coverage, const Colours& plain,
              int bandLeft, int bandRight, const Colours& band);
  // Draws `into` (`pixels` device pixels, shown at `ratio`) as render does a coverage of the
  // glyphs in the plain colours, without one: each glyph's mask coloured and copied. False when
  // two glyphs overlap, and then only a coverage gives the pixels.
  bool renderDirect(QImage& into, qreal ratio, QSize pixels, GlyphMasks& masks,
                    const std::vector<PlacedGlyph>& glyphs, qreal left, const Colours& colours);

 private:
  using Table = ColourTable;
  static quint64 keyOf(const Colours& colours);
  const Table& tableFor(const Colours& colours);
  static void prepare(QImage& image, QSize pixels, qreal ratio);

  QFont font_;
  std::optional<qreal> gamma_;  // measured when a table is first needed
  std::optional<bool> subpixel_;  // measured when first asked
  // A node map: a table stays where it is while others are added, so render can hold two.
  std::unordered_map<quint64, Table> tables_;
};

}  // namespace textview
