#include "textview/cell_widths.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

namespace textview {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Code points of East Asian Width W and F (Unicode 15), in order.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x2E99},
    {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x303E},
    {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E3},   {0x31F0, 0x321E},   {0x3220, 0x3247},   {0x3250, 0x4DBF},
    {0x4E00, 0xA48C},   {0xA490, 0xA4C6},   {0xA960, 0xA97C},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},   {0xFE54, 0xFE66},
    {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08},
    {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122},
    {0x1B132, 0x1B132}, {0x1B150, 0x1B152}, {0x1B155, 0x1B155}, {0x1B164, 0x1B167},
    {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248},
    {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335},
    {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7},
    {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FA7C}, {0x1FA80, 0x1FA88}, {0x1FA90, 0x1FABD}, {0x1FABF, 0x1FAC5},
    {0x1FACE, 0x1FADB}, {0x1FAE0, 0x1FAE8}, {0x1FAF0, 0x1FAF8}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

}  // namespace

bool IsEastAsianWide(char32_t c) {
  if (c < kWide[0].first) return false;
  const auto after = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                      [](char32_t v, const Range& r) { return v < r.first; });
  return c <= std::prev(after)->last;
}

char32_t DrawnFor(char32_t c) {
  if (c == u' ' || c == u'\t' || (c >= 0x80 && c < 0xA0)) return 0;
  if (c < 0x20) return 0x2400 + c;
  if (c == 0x7F) return 0x2421;
  return c;
}

namespace {

int EastAsianCells(char32_t c) { return IsEastAsianWide(c) ? 2 : 1; }

// How far past its cells a glyph may reach, in cells, before it is given one more.
constexpr qreal kOverhang = 0.2;

// The advance of `text` (one code point) in `font` and the face Qt draws it from; none when no
// font has it.
std::optional<qreal> AdvanceOf(const QFont& font, const QRawFont& face, const QString& text) {
  quint32 glyphs[2] = {};
  int count = 2;
  if (face.glyphIndexesForChars(text.constData(), static_cast<int>(text.size()), glyphs, &count) &&
      count == 1 && glyphs[0] != 0) {
    return face.advancesForGlyphIndexes(QList<quint32>{glyphs[0]}).value(0).x();
  }
  // A fallback face, as a one-character text layout picks it.
  QTextLayout layout(text, font);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return std::nullopt;
  bool found = false;
  for (const QGlyphRun& run : layout.glyphRuns()) found = found || !run.glyphIndexes().contains(0);
  if (!found) return std::nullopt;
  return line.horizontalAdvance();
}

}  // namespace

CellWidths::CellWidths() : basic_(kPlane, 1) {
  for (const Range& wide : kWide) {
    if (wide.first >= kPlane) break;
    std::fill(basic_.begin() + wide.first, basic_.begin() + wide.last + 1, quint8{2});
  }
}

CellWidths::CellWidths(Measure measure) : measure_(std::move(measure)), basic_(kPlane, 0) {
  for (char32_t c = 0x20; c <= 0x7F; ++c) asciiNarrow_ = asciiNarrow_ && of(c) == 1;
}

CellWidths CellWidths::ofFont(const QFont& font, qreal cellWidth) {
  return CellWidths([font, face = QRawFont::fromFont(font), cellWidth](char32_t c) {
    const char32_t drawn = DrawnFor(c);
    if (drawn == 0) return 1;
    const char32_t units[] = {drawn};
    const std::optional<qreal> advance = AdvanceOf(font, face, QString::fromUcs4(units, 1));
    // A character no font has is drawn as a box filling the cells its width gives it.
    if (!advance) return EastAsianCells(drawn);
    const qreal cells = *advance / cellWidth;
    return static_cast<int>(std::ceil(cells - kOverhang - 1e-9));
  });
}

int CellWidths::measured(char32_t c) const {
  if (!measure_) return EastAsianCells(c);
  if (c >= kPlane) {
    const auto found = beyond_.constFind(c);
    if (found != beyond_.constEnd()) return *found;
  }
  const auto cells = static_cast<quint8>(std::clamp(measure_(c), 1, kMostCells));
  if (c < kPlane) {
    basic_[c] = cells;
  } else {
    beyond_.insert(c, cells);
  }
  return cells;
}

}  // namespace textview
