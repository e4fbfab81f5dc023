#pragma once
// A text of lines, each with one colour, for logs that grow fast. The program appends whole
// lines at the end; the user edits anywhere (insert, remove, replace) and may undo and redo those
// edits. There is always at least one line; an empty document is one empty line.
// Positions are (line, column), the column counting UTF-16 code units of the line's text.
// Line breaks in appended or inserted text ("\n", "\r", "\r\n", U+2029) start a new line; U+2028
// stays inside a line, as in a plain text edit.
// Appending a line costs O(its length); nothing here knows about fonts or widgets.
// GUI thread only.

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <compare>
#include <vector>

namespace textview {

// A line as the program writes it: its text and the one colour it shows in (an invalid colour:
// the view's text colour).
struct TextLine {
  QString text;
  QColor colour;
};

// Text broken into lines at its line breaks ("\r\n", "\r", "\n", U+2029), as the document
// breaks what is appended; text without one is one line.
QStringList SplitIntoLines(const QString& text);

struct TextPosition {
  int line = 0;  // an int: no document held in memory comes near 2^31 lines
  qsizetype column = 0;
  auto operator<=>(const TextPosition&) const = default;
};

class TextDocument : public QObject {
  Q_OBJECT
 public:
  explicit TextDocument(QObject* parent = nullptr);

  int lineCount() const { return static_cast<int>(lines_.size()); }
  const QString& lineText(int line) const { return lines_[line].text; }
  const QColor& lineColour(int line) const { return lines_[line].colour; }
  // True when the document is one empty line.
  bool isEmpty() const { return lines_.size() == 1 && lines_.front().text.isEmpty(); }
  // The length of toPlainText(), kept as lines change.
  qsizetype plainTextLength() const { return plainLength_; }
  TextPosition end() const;
  // A position moved into the document: line and column clamped to what exists.
  TextPosition clamped(TextPosition at) const;

  // The lines joined by "\n".
  QString toPlainText() const;
  // The text between two positions (in either order), lines joined by `lineBreak`.
  QString text(TextPosition from, TextPosition to, QChar lineBreak = u'\n') const;

  // Program writes; they are not undoable. The text goes on a new last line (on the only line
  // when the document is empty), broken into lines at its line breaks, all in this colour.
  void appendLine(const QString& text, const QColor& colour) { appendLines({{text, colour}}); }
  // Appends each as appendLine does, with one linesAppended for them all.
  void appendLines(const std::vector<TextLine>& lines);
  // Empties the document and forgets the undo history.
  void clear();
  // Replaces the whole text with lines without a colour of their own and forgets the history.
  void setPlainText(const QString& text);

  // User edits, undoable. Inserted text takes the colour of the line it goes into; a line it
  // breaks off keeps that colour too. A removal that joins two lines keeps the first's colour.
  // Each returns where the caret goes after it. Undo steps merge as in a text edit: typed text
  // (`EditRun::Typing`) joins the step before when that step's inserted text ends where it goes
  // and not in a line break (typing, a paste, a replaced selection); a run of Backspace, or of
  // Delete, removals within a line is one step. A line break typed or removed is a step of its
  // own; `EditRun::None` joins nothing before it (Enter, paste, cut, a removed selection).
  // A program write, an undo and a redo end all merging.
  enum class EditRun { None, Typing, Delete, Backspace };
  TextPosition insert(TextPosition at, const QString& text, EditRun run = EditRun::Typing);
  TextPosition remove(TextPosition from, TextPosition to, EditRun run = EditRun::None);
  TextPosition replace(TextPosition from, TextPosition to, const QString& text);

  bool canUndo() const;
  bool canRedo() const;
  int availableUndoSteps() const { return static_cast<int>(undo_.size()); }
  int availableRedoSteps() const { return static_cast<int>(redo_.size()); }
  // Undo or redo one step; the position is where the caret goes after it.
  TextPosition undo();
  TextPosition redo();

 signals:
  // Lines [first, first + count) were added at the end by a program write; when the document
  // was empty, its one empty line is line `first` = 0 and is among them.
  void linesAppended(int first, int count);
  // Lines [first, first + removed) were replaced by `added` lines starting at `first` (an edit,
  // an undo or a redo). Lines after them moved by added - removed.
  void linesReplaced(int first, int removed, int added);
  // The whole text was replaced (clear, setPlainText).
  void reset();

 private:
  using Line = TextLine;
  // One undoable edit: at `at`, `removed` gave way to `inserted` (line breaks as "\n").
  // `removedColours` are the colours of the lines the removed text's line breaks began, so an
  // undo gives them back.
  struct Step {
    TextPosition at;
    QString removed;
    QString inserted;
    std::vector<QColor> removedColours;
    EditRun run = EditRun::None;
  };

  // Lines after the first that the text makes take `laterColours` in order, the rest the
  // first's colour. One linesReplaced for the change.
  TextPosition applyReplace(TextPosition from, TextPosition to, const QString& text,
                            const std::vector<QColor>& laterColours = {});
  void record(Step step);
  TextPosition replay(const Step& step, bool forward);
  // Replays the latest step of `from` (an undo, or with `forward` a redo) and moves it to `to`.
  TextPosition travel(std::vector<Step>& from, std::vector<Step>& to, bool forward);

  std::vector<Line> lines_{Line{}};
  qsizetype plainLength_ = 0;
  std::vector<Step> undo_;
  std::vector<Step> redo_;
  bool mergeOpen_ = false;
};

}  // namespace textview
