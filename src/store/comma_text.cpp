#include "store/comma_text.h"

namespace store {
namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

bool needsQuotes(const QByteArray& cell) {
  for (const char c : cell) {
    if (isBlankOrControl(c) || c == kQuote || c == kComma) return true;
  }
  return false;
}

QByteArray quoted(const QByteArray& cell) {
  QByteArray out;
  out.reserve(cell.size() + 2);
  out.append(kQuote);
  for (const char c : cell) {
    out.append(c);
    if (c == kQuote) out.append(kQuote);
  }
  out.append(kQuote);
  return out;
}

qsizetype skipBlanks(QByteArrayView line, qsizetype pos) {
  while (pos < line.size() && isBlankOrControl(line[pos])) ++pos;
  return pos;
}

// Reads the quoted field starting at the opening quote at `pos`; returns the position after
// the closing quote. A missing closing quote takes the rest of the line.
qsizetype readQuoted(QByteArrayView line, qsizetype pos, QByteArray& field) {
  ++pos;
  while (pos < line.size()) {
    if (line[pos] == kQuote) {
      if (pos + 1 < line.size() && line[pos + 1] == kQuote) {
        field.append(kQuote);
        pos += 2;
        continue;
      }
      return pos + 1;
    }
    field.append(line[pos++]);
  }
  return pos;
}

}  // namespace

QByteArray JoinCommaText(const QList<QByteArray>& cells) {
  if (cells.size() == 1 && cells.front().isEmpty()) return QByteArray(2, kQuote);
  QByteArray line;
  for (qsizetype i = 0; i < cells.size(); ++i) {
    if (i > 0) line.append(kComma);
    line.append(needsQuotes(cells[i]) ? quoted(cells[i]) : cells[i]);
  }
  return line;
}

QList<QByteArray> SplitCommaText(QByteArrayView line) {
  QList<QByteArray> fields;
  qsizetype pos = skipBlanks(line, 0);
  while (pos < line.size()) {
    QByteArray field;
    if (line[pos] == kQuote) {
      pos = readQuoted(line, pos, field);
    } else {
      const qsizetype start = pos;
      while (pos < line.size() && !isBlankOrControl(line[pos]) && line[pos] != kComma) ++pos;
      field = line.sliced(start, pos - start).toByteArray();
    }
    fields.append(field);
    pos = skipBlanks(line, pos);
    if (pos < line.size() && line[pos] == kComma) {
      if (pos + 1 == line.size()) fields.append(QByteArray());
      pos = skipBlanks(line, pos + 1);
    }
  }
  return fields;
}

}  // namespace store
