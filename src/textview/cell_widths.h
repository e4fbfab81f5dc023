#pragma once
// How many cells of the text view's grid each code point takes. Measured in the view's font, a
// code point takes the cells its glyph's advance needs, in the face Qt draws it from (the font's
// own or the fallback a text layout picks): one cell unless the advance clearly exceeds one (by
// more than a fifth of a cell), else the advance in cells rounded up, a fifth of a cell of
// overhang allowed. So a character a CJK font draws two cells wide (℃, ×, “, ①) takes two, as a
// Chinese character does. A C0 control or DEL takes the cells of the control picture drawn for
// it; blanks, zero-width characters and characters no font has take one cell (two for East Asian
// wide ones: the box drawn for them fills their cells). Without a font, East Asian Width
// decides: W and F two cells, the others one. Each code point is measured once, when first met.

#include <QFont>
#include <QHash>
#include <QtGlobal>
#include <functional>
#include <vector>

namespace textview {

// True for code points of East Asian Width W or F.
bool IsEastAsianWide(char32_t c);

// What the view draws for a code point: the control picture for C0 controls and DEL, nothing (0)
// for blanks and C1 controls, the character itself otherwise.
char32_t DrawnFor(char32_t c);

class CellWidths {
 public:
  // Cells of a code point, at least one.
  using Measure = std::function<int(char32_t)>;

  // By East Asian Width.
  CellWidths();
  // By `measure`, asked once for each code point.
  explicit CellWidths(Measure measure);
  // By the advances of `font`, whose cells are `cellWidth` pixels wide.
  static CellWidths ofFont(const QFont& font, qreal cellWidth);

  int of(char32_t c) const {
    if (c < kPlane) {
      const quint8 cells = basic_[c];
      if (cells != 0) return cells;
    }
    return measured(c);
  }
  // Whether U+0020 to U+007F take one cell each: a line of them needs no table.
  bool asciiNarrow() const { return asciiNarrow_; }

 private:
  static constexpr char32_t kPlane = 0x10000;
  // A glyph is given no more cells than this, however wide a font draws it.
  static constexpr int kMostCells = 8;
  int measured(char32_t c) const;

  Measure measure_;
  // Cells of the Basic Multilingual Plane, 0 until measured; the other planes in a hash.
  mutable std::vector<quint8> basic_;
  mutable QHash<char32_t, quint8> beyond_;
  bool asciiNarrow_ = true;
};

}  // namespace textview
