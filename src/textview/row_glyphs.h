#pragma once
// Glyph runs for the rows the text view shows, every character placed on the cell grid of
// wrap.h (x = cell * cell width), never where a text layout would put it, so the
// glyphs sit exactly where the caret and hit testing put them. Glyphs come from the font's
// primary face by a character-to-glyph lookup, with no shaping; a character the face lacks is
// drawn from the fallback face a one-character text layout picks, looked up once per
// character. C0 controls and DEL are drawn as their control pictures; blanks, tabs and C1
// controls draw nothing; a character no installed font has is drawn as a box filling its cells
// (a font's own missing-glyph box is wider than a cell). A glyph from a colour face (an emoji
// font) marks its row as one Qt must draw: a mask keeps a glyph's coverage, not its colours.
// RowCache keeps the rows on screen, laid out and drawn: a row is laid out and drawn into its
// own image once while it stays visible (again only when the selection across it changes), and
// a paint copies the images (glyph_masks.h and row_raster.h draw them). The images of rows
// it forgets are kept, a few, for the rows drawn next: a stream draws whole screens of new rows a
// frame, and fresh memory for each would cost more than drawing them. The view drops rows whose
// line changed, and everything on a width, font or palette change.

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QStringView>
#include <array>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "textview/wrap.h"

class QPainter;

namespace textview {

// One glyph of a row: a glyph of one of the log's fonts, or a box for a character no font has.
struct PlacedGlyph {
  static constexpr int kBox = -1;
  int font = 0;       // which of the fonts RowGlyphs draws with, or kBox
  quint32 glyph = 0;  // the font's glyph index; of a box, its width in cells
  QPointF at;         // the pen: the row's first cell at x = 0, the baseline at y = 0
};

// What draws one row.
struct LaidRow {
  std::vector<PlacedGlyph> glyphs;
  bool colourGlyphs = false;  // some glyph comes from a colour face
};

class RowGlyphs {
 public:
  void setFont(const QFont& font, qreal cellWidth);
  LaidRow layRow(QStringView line, const wrap::Grid& grid, wrap::RowSpan span);
  // Draws glyphs as Qt draws text, each with its pen at `origin` plus its place: one glyph run
  // for each face.
  void draw(QPainter& painter, QPointF origin, std::span<const PlacedGlyph> glyphs) const;

 private:
  struct Fallback {
    std::vector<PlacedGlyph> glyphs;  // the pen at x = 0, baseline y = 0
    bool missing = false;             // no font has the character
  };
  const Fallback& fallbackFor(char32_t c);
  int fontIndex(const QRawFont& font);
  void addFace(const QRawFont& font);
  // A row of only Latin-1 characters the primary face has, laid from a table of their glyphs;
  // none for any other row.
  std::optional<LaidRow> layLatinRow(QStringView line, wrap::RowSpan span);
  quint32 latinGlyph(char16_t c);  // 0: the primary face lacks it

  QFont font_;
  std::vector<QRawFont> fonts_;  // the primary face first, then fallbacks as they are met
  std::vector<bool> colourFaces_;  // whether each of them draws in colour
  qreal cellWidth_ = 1;
  QRectF box_;  // a missing character's box in one cell
  QHash<char32_t, Fallback> fallbacks_;
  static constexpr quint32 kNotLooked = 0xFFFFFFFF;
  std::array<quint32, 256> latinGlyphs_{};  // the primary face's, looked up when first met
};

class RowCache {
 public:
  // The cells of a row drawn selected, [start, end); empty when none is.
  struct Selection {
    qreal start = 0;
    qreal end = 0;
    bool operator==(const Selection&) const = default;
  };
  struct Row {
    qsizetype absoluteRow = 0;
    wrap::RowSpan span;
    LaidRow laid;
    QImage image;  // the row drawn once `drawn` is set; before, memory to draw it in, or null
    bool drawn = false;
    Selection drawnSelection;
  };

  // The cached row, or nullptr.
  Row* find(int line, qsizetype row);
  Row& store(int line, qsizetype row, Row laid);
  void dropLinesFrom(int line);
  void clear();
  // Forgets rows outside [firstRow, lastRow] of the whole text.
  void keepOnly(qsizetype firstRow, qsizetype lastRow);
  // The image of a forgotten row, to draw a new row in (null when none is kept).
  QImage takeSpareImage();

 private:
  void keepImageOf(Row& row);
  static constexpr size_t kSpareImages = 64;
  std::vector<QImage> spareImages_;

  using Key = std::pair<int, qsizetype>;  // the line, the row in the line
  QHash<Key, Row> rows_;
};

}  // namespace textview
