#include "textview/row_glyphs.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace textview {

void RowGlyphs::setFont(const QFont& font, qreal cellWidth) {
  font_ = font;
  fonts_.clear();
  colourFaces_.clear();
  addFace(QRawFont::fromFont(font));
  cellWidth_ = cellWidth;
  const QFontMetricsF metrics(font);
  box_ = QRectF(1, -metrics.ascent() * 0.8, cellWidth - 2, metrics.ascent() * 0.8);
  fallbacks_.clear();
  latinGlyphs_.fill(kNotLooked);
}

quint32 RowGlyphs::latinGlyph(char16_t c) {
  quint32& glyph = latinGlyphs_[c];
  if (glyph == kNotLooked) {
    const QChar ch(c);
    int count = 1;
    glyph = 0;
    fonts_.front().glyphIndexesForChars(&ch, 1, &glyph, &count);
  }
  return glyph;
}

std::optional<LaidRow> RowGlyphs::layLatinRow(QStringView line, wrap::RowSpan span) {
  LaidRow laid;
  laid.colourGlyphs = colourFaces_.front();
  laid.glyphs.reserve(span.end - span.start);
  for (qsizetype column = span.start; column < span.end; ++column) {
    const char32_t c = DrawnFor(line[column].unicode());
    if (c == 0) continue;
    if (c >= latinGlyphs_.size()) return std::nullopt;
    const quint32 glyph = latinGlyph(static_cast<char16_t>(c));
    if (glyph == 0) return std::nullopt;
    laid.glyphs.push_back({0, glyph, QPointF((column - span.start) * cellWidth_, 0)});
  }
  return laid;
}

LaidRow RowGlyphs::layRow(QStringView line, const wrap::Grid& grid, wrap::RowSpan span) {
  // The drawn characters of the row, with the cell each starts at and its width in cells.
  QString drawn;
  drawn.reserve(span.end - span.start);
  struct Place {
    char32_t drawn;
    qreal cell;
    qreal width;
  };
  std::vector<Place> places;
  places.reserve(span.end - span.start);
  const bool plain = wrap::IsPlain(line.sliced(span.start, span.end - span.start), grid);
  if (plain) {
    if (std::optional<LaidRow> latin = layLatinRow(line, span)) return std::move(*latin);
    for (qsizetype column = span.start; column < span.end; ++column) {
      const char32_t c = DrawnFor(line[column].unicode());
      if (c == 0) continue;
      drawn += QChar(static_cast<char16_t>(c));
      places.push_back({c, qreal(column - span.start), 1});
    }
  } else {
    for (wrap::CellWalker w(line, grid, span.start); w.column() < span.end; w.next()) {
      const char32_t c = DrawnFor(w.codePoint());
      if (c == 0) continue;
      const char32_t units[] = {c};
      drawn += QString::fromUcs4(units, 1);
      places.push_back({c, w.cell(), w.width()});
    }
  }
  std::vector<quint32> glyphs(places.size());
  int glyphCount = static_cast<int>(glyphs.size());
  if (!drawn.isEmpty()) {
    fonts_.front().glyphIndexesForChars(drawn.constData(), static_cast<int>(drawn.size()),
                                        glyphs.data(), &glyphCount);
  }

  LaidRow laid;
  laid.glyphs.reserve(glyphCount);
  // One glyph a code point: the lookup does not shape.
  for (int i = 0; i < glyphCount && i < static_cast<int>(places.size()); ++i) {
    const QPointF at(places[i].cell * cellWidth_, 0);
    if (glyphs[i] != 0) {
      laid.glyphs.push_back({0, glyphs[i], at});
      continue;
    }
    const Fallback& fallback = fallbackFor(places[i].drawn);
    if (fallback.missing) {
      laid.glyphs.push_back(
          {PlacedGlyph::kBox, static_cast<quint32>(std::lround(places[i].width)), at});
      continue;
    }
    for (PlacedGlyph glyph : fallback.glyphs) {
      glyph.at += at;
      laid.glyphs.push_back(glyph);
    }
  }
  laid.colourGlyphs = std::any_of(laid.glyphs.begin(), laid.glyphs.end(), [&](const auto& glyph) {
    return glyph.font != PlacedGlyph::kBox && colourFaces_[glyph.font];
  });
  return laid;
}

void RowGlyphs::draw(QPainter& painter, QPointF origin,
                     std::span<const PlacedGlyph> glyphs) const {
  for (size_t font = 0; font < fonts_.size(); ++font) {
    QList<quint32> indexes;
    QList<QPointF> positions;
    for (const PlacedGlyph& glyph : glyphs) {
      if (glyph.font != static_cast<int>(font)) continue;
      indexes.push_back(glyph.glyph);
      positions.push_back(glyph.at);
    }
    if (indexes.isEmpty()) continue;
    QGlyphRun run;
    run.setRawFont(fonts_[font]);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    painter.drawGlyphRun(origin, run);
  }
  for (const PlacedGlyph& glyph : glyphs) {
    if (glyph.font != PlacedGlyph::kBox) continue;
    painter.drawRect(box_.adjusted(0, 0, (static_cast<int>(glyph.glyph) - 1) * cellWidth_, 0)
                         .translated(origin + glyph.at));
  }
}

int RowGlyphs::fontIndex(const QRawFont& font) {
  const auto found = std::find(fonts_.begin(), fonts_.end(), font);
  if (found != fonts_.end()) return static_cast<int>(found - fonts_.begin());
  addFace(font);
  return static_cast<int>(fonts_.size()) - 1;
}

void RowGlyphs::addFace(const QRawFont& font) {
  fonts_.push_back(font);
  // Colour bitmaps (located by CBLC, or sbix), colour layers (COLR) or SVG glyphs: Qt draws
  // them in colour.
  constexpr const char* kColourTables[] = {"CBLC", "COLR", "sbix", "SVG "};
  colourFaces_.push_back(std::any_of(std::begin(kColourTables), std::end(kColourTables),
                                     [&](const char* table) { return !font.fontTable(table).isEmpty(); }));
}

const RowGlyphs::Fallback& RowGlyphs::fallbackFor(char32_t c) {
  auto found = fallbacks_.find(c);
  if (found != fallbacks_.end()) return *found;
  const char32_t units[] = {c};
  QTextLayout layout(QString::fromUcs4(units, 1), font_);
  layout.beginLayout();
  const QTextLine textLine = layout.createLine();
  layout.endLayout();
  Fallback fallback;
  fallback.missing = true;
  if (textLine.isValid()) {
    for (const QGlyphRun& run : layout.glyphRuns()) {
      if (!run.glyphIndexes().contains(0)) fallback.missing = false;
      const int font = fontIndex(run.rawFont());
      const QList<quint32> indexes = run.glyphIndexes();
      const QList<QPointF> positions = run.positions();
      for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
        fallback.glyphs.push_back({font, indexes[i], positions[i] - QPointF(0, textLine.ascent())});
    }
  }
  return *fallbacks_.insert(c, fallback);
}

RowCache::Row* RowCache::find(int line, qsizetype row) {
  const auto found = rows_.find({line, row});
  return found == rows_.end() ? nullptr : &*found;
}

RowCache::Row& RowCache::store(int line, qsizetype row, Row laid) {
  return *rows_.insert({line, row}, std::move(laid));
}

void RowCache::keepImageOf(Row& row) {
  if (!row.image.isNull() && spareImages_.size() < kSpareImages)
    spareImages_.push_back(std::move(row.image));
}

QImage RowCache::takeSpareImage() {
  if (spareImages_.empty()) return {};
  QImage image = std::move(spareImages_.back());
  spareImages_.pop_back();
  return image;
}

void RowCache::dropLinesFrom(int line) {
  rows_.removeIf([&](auto entry) {
    if (entry.key().first < line) return false;
    keepImageOf(entry.value());
    return true;
  });
}

void RowCache::clear() {
  for (Row& row : rows_) keepImageOf(row);
  rows_.clear();
}

void RowCache::keepOnly(qsizetype firstRow, qsizetype lastRow) {
  rows_.removeIf([&](auto entry) {
    if (entry.value().absoluteRow >= firstRow && entry.value().absoluteRow <= lastRow) return false;
    keepImageOf(entry.value());
    return true;
  });
}

}  // namespace textview
