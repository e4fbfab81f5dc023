#include "textview/words.h"

namespace textview::words {

namespace {

bool isSeparator(QChar c) {
  static constexpr char16_t kSeparators[] = u".,?!@#$:;-<>[](){}=/+%&^*'\"`~|\\";
  for (const char16_t s : kSeparators) {
    if (s != 0 && c == s) return true;
  }
  return false;
}

bool isBlank(QChar c) { return c.isSpace(); }

}  // namespace

qsizetype NextWordStart(QStringView line, qsizetype column) {
  const qsizetype length = line.size();
  if (column >= length) return length;
  if (isSeparator(line[column])) {
    while (column < length && isSeparator(line[column])) ++column;
  } else {
    while (column < length && !isBlank(line[column]) && !isSeparator(line[column])) ++column;
  }
  while (column < length && isBlank(line[column])) ++column;
  return column;
}

qsizetype PreviousWordStart(QStringView line, qsizetype column) {
  while (column > 0 && isBlank(line[column - 1])) --column;
  if (column > 0 && isSeparator(line[column - 1])) {
    while (column > 0 && isSeparator(line[column - 1])) --column;
  } else {
    while (column > 0 && !isBlank(line[column - 1]) && !isSeparator(line[column - 1])) --column;
  }
  return column;
}

Word WordAt(QStringView line, qsizetype column) {
  const qsizetype length = line.size();
  // At the end of a line that ends in a blank or a separator there is no word.
  if (column > 0 && column == length &&
      (isBlank(line[column - 1]) || isSeparator(line[column - 1]))) {
    return {column, column};
  }
  // Back to the start of the word holding the character at the click.
  const qsizetype start = PreviousWordStart(line, column < length ? column + 1 : column);
  // End of the word from its start.
  qsizetype end = start;
  if (end < length && isSeparator(line[end])) {
    while (end < length && isSeparator(line[end])) ++end;
  } else {
    while (end < length && !isBlank(line[end]) && !isSeparator(line[end])) ++end;
  }
  return {start, end};
}

}  // namespace textview::words
