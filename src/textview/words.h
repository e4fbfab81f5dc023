#pragma once
// Word moves inside one line of the text, by the rule a plain text edit uses: a word is a run of
// characters that are neither blanks nor separators (. , ? ! @ # $ : ; - < > [ ] ( ) { } = / +
// % & ^ * ' " ` ~ | \), a run of separators counts as a word of its own, and moving to the next
// word also skips the blanks after it. Columns are UTF-16 indexes.

#include <QStringView>

namespace textview::words {

// Ctrl+Right: the start of the next word (skipping the blanks after the current one).
qsizetype NextWordStart(QStringView line, qsizetype column);
// Ctrl+Left: the start of this word or of the one before.
qsizetype PreviousWordStart(QStringView line, qsizetype column);
// The word a double click at `column` selects, as [start, end).
struct Word {
  qsizetype start;
  qsizetype end;
};
Word WordAt(QStringView line, qsizetype column);

}  // namespace textview::words
