#include "textview/text_view_accessible.h"

#include <QAccessibleWidget>
#include <QTextBoundaryFinder>

#include "textview/nearest_int.h"
#include "textview/text_view.h"
#include "textview/wrap.h"

namespace textview {

namespace {

class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
 public:
  explicit TextViewAccessible(TextView* view)
      : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return view().toPlainText();
    return QAccessibleWidget::text(kind);
  }

  // ---- text ----

  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !view().hasSelection()) return;
    const int caret = offset(view().caret());
    const int anchor = offset(view().anchor());
    *start = std::min(caret, anchor);
    *end = std::max(caret, anchor);
  }
  int selectionCount() const override { return view().hasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) view().setCaret(view().caret());
  }
  void setSelection(int index, int start, int end) override {
    if (index != 0) return;
    view().setCaret(position(start));
    view().setCaret(position(end), true);
  }
  int cursorPosition() const override { return offset(view().caret()); }
  void setCursorPosition(int at) override { view().setCaret(position(at)); }
  QString text(int start, int end) const override {
    return view().document().text(position(start), position(end));
  }
  int characterCount() const override { return NearestInt(view().document().plainTextLength()); }
  QRect characterRect(int at) const override {
    QRect rect = view().characterRect(position(at));
    rect.moveTo(view().viewport()->mapToGlobal(rect.topLeft()));
    return rect;
  }
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint local = view().viewport()->mapFromGlobal(point);
    if (!view().viewport()->rect().contains(local)) return -1;
    return offset(view().positionAt(local));
  }
  void scrollToSubstring(int start, int) override {
    view().setCaret(position(start));
    view().ensureCaretVisible();
  }
  // The colour of the line holding the offset, over that line.
  QString attributes(int at, int* start, int* end) const override {
    const TextPosition where = position(at);
    const qsizetype lineStart = view().offsetOf({where.line, 0});
    *start = NearestInt(lineStart);
    *end = NearestInt(lineStart + view().document().lineText(where.line).size());
    const QColor colour = view().shownColour(where.line);
    return QStringLiteral("color:rgb(%1,%2,%3);")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
  }

  QString textAtOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                       int* end) const override {
    std::tie(*start, *end) = unitAround(at, boundary);
    return text(*start, *end);
  }
  QString textBeforeOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                           int* end) const override {
    const int unitStart = unitAround(at, boundary).first;
    *start = *end = unitStart;
    if (unitStart == 0) return {};
    std::tie(*start, *end) = unitAround(unitStart - 1, boundary);
    return text(*start, *end);
  }
  QString textAfterOffset(int at, QAccessible::TextBoundaryType boundary, int* start,
                          int* end) const override {
    const int unitEnd = unitAround(at, boundary).second;
    *start = *end = unitEnd;
    if (unitEnd >= characterCount()) return {};
    std::tie(*start, *end) = unitAround(unitEnd, boundary);
    return text(*start, *end);
  }

  // ---- editable text ----

  void deleteText(int start, int end) override {
    view().setCaret(
        view().document().remove(position(start), position(end), TextDocument::EditRun::None));
  }
  void insertText(int at, const QString& text) override {
    view().setCaret(view().document().insert(position(at), text, TextDocument::EditRun::None));
  }
  void replaceText(int start, int end, const QString& text) override {
    view().setCaret(view().document().replace(position(start), position(end), text));
  }

 private:
  TextView& view() const { return *static_cast<TextView*>(widget()); }
  int offset(TextPosition at) const { return NearestInt(view().offsetOf(at)); }
  TextPosition position(int at) const { return view().positionAtOffset(at); }

  // The text unit holding the character at `at`, as [start, end) offsets. A line break is a
  // unit of its own for characters, words and sentences, and ends its line's paragraph.
  std::pair<int, int> unitAround(int at, QAccessible::TextBoundaryType boundary) const {
    const int length = characterCount();
    at = std::clamp(at, 0, length);
    if (boundary == QAccessible::NoBoundary) return {0, length};
    const TextPosition where = position(at);
    const QString& line = view().document().lineText(where.line);
    const qsizetype lineStart = at - where.column;
    const qsizetype lineEnd = lineStart + line.size();
    const int breakAfter = where.line + 1 < view().document().lineCount() ? 1 : 0;
    const auto offsets = [](qsizetype start, qsizetype end) {
      return std::pair{NearestInt(start), NearestInt(end)};
    };
    if (boundary == QAccessible::ParagraphBoundary) return offsets(lineStart, lineEnd + breakAfter);
    if (boundary == QAccessible::LineBoundary) {
      const wrap::RowSpan span = view().rowSpanShowing(where);
      const qsizetype rowEnd = span.end == line.size() ? span.end + breakAfter : span.end;
      return offsets(lineStart + span.start, lineStart + rowEnd);
    }
    if (where.column == line.size()) return {at, std::min(length, at + breakAfter)};
    if (boundary == QAccessible::CharBoundary) {
      // A surrogate pair is one character, whichever half the offset names.
      const qsizetype column = where.column;
      if (column > 0 && line[column].isLowSurrogate() && line[column - 1].isHighSurrogate())
        return {at - 1, at + 1};
      const bool pair = line[column].isHighSurrogate() && column + 1 < line.size() &&
                        line[column + 1].isLowSurrogate();
      return {at, at + (pair ? 2 : 1)};
    }
    const auto type = boundary == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                                                : QTextBoundaryFinder::Word;
    QTextBoundaryFinder finder(type, line);
    finder.setPosition(where.column);
    const qsizetype start = finder.isAtBoundary() ? where.column : finder.toPreviousBoundary();
    finder.setPosition(where.column);
    const qsizetype end = finder.toNextBoundary();
    return offsets(lineStart + std::max<qsizetype>(0, start),
                   lineStart + (end < 0 ? line.size() : end));
  }
};

QAccessibleInterface* logViewAccessibleFactory(const QString&, QObject* object) {
  if (auto* view = qobject_cast<TextView*>(object)) return new TextViewAccessible(view);
  return nullptr;
}

}  // namespace

void InstallTextViewAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(logViewAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace textview
