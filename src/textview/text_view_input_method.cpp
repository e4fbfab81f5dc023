// The text view's input method support: text an input method commits goes in as typed text, the
// text it is still composing (the preedit) is drawn at the caret until it commits or is
// cancelled, and the input method is told where the caret is and what surrounds it.
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QPainter>
#include <QTextCharFormat>
#include <algorithm>

#include "textview/nearest_int.h"
#include "textview/text_view.h"

namespace textview {

void TextView::inputMethodEvent(QInputMethodEvent* event) {
  const bool replaces = event->replacementLength() > 0 || event->replacementStart() != 0;
  if (!event->commitString().isEmpty() || replaces) {
    if (replaces && !hasSelection()) {
      // The range is counted from the caret, within the caret's line.
      const qsizetype length = document_.lineText(caret().line).size();
      const qsizetype start =
          std::clamp<qsizetype>(caret().column + event->replacementStart(), 0, length);
      const qsizetype end =
          std::clamp<qsizetype>(start + event->replacementLength(), start, length);
      const int line = caret().line;
      moveCaret({line, start}, false);
      moveCaret({line, end}, true);
    }
    if (event->commitString().isEmpty()) {
      const auto [from, to] = editing_.selection();
      editing_.removeRange(from, to);
    } else {
      typeText(event->commitString(), TextDocument::EditRun::Typing);
    }
  } else if (!event->preeditString().isEmpty() && hasSelection()) {
    // Composing over a selection replaces it, as typing would.
    const auto [from, to] = editing_.selection();
    editing_.removeRange(from, to);
  }
  preedit_.text = event->preeditString();
  preedit_.formats.clear();
  preedit_.cursor = static_cast<int>(preedit_.text.size());
  preedit_.cursorShown = true;
  for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
    if (attribute.type == QInputMethodEvent::Cursor) {
      preedit_.cursor = std::clamp(attribute.start, 0, static_cast<int>(preedit_.text.size()));
      preedit_.cursorShown = attribute.length != 0;
    } else if (attribute.type == QInputMethodEvent::TextFormat) {
      const QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
      if (format.isValid()) preedit_.formats.push_back({attribute.start, attribute.length, format});
    }
  }
  viewport()->update();
  event->accept();
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const {
  const TextPosition at = caret();
  const TextPosition from = anchor();
  const QString& line = document_.lineText(at.line);
  switch (query) {
    case Qt::ImEnabled:  // an owner may switch input methods off, as on any Qt widget
      return testAttribute(Qt::WA_InputMethodEnabled);
    case Qt::ImCursorRectangle:
      return QRectF(preeditCaretRect().translated(viewport()->pos()));
    case Qt::ImAnchorRectangle:
      return QRectF(characterRect(from).translated(viewport()->pos()));
    case Qt::ImFont:
      return font();
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImCursorPosition:
      return NearestInt(at.column);
    case Qt::ImAnchorPosition:
      // An anchor on another line counts as that end of the caret's line.
      return NearestInt(from.line < at.line ? 0 : from.line > at.line ? line.size() : from.column);
    case Qt::ImSurroundingText:
      return line;
    case Qt::ImCurrentSelection:
      return editing_.selectedText();
    case Qt::ImTextBeforeCursor:
      return line.left(at.column);
    case Qt::ImTextAfterCursor:
      return line.mid(at.column);
    case Qt::ImAbsolutePosition:
      return offsetOf(at);
    case Qt::ImMaximumTextLength:
      return QVariant();
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

void TextView::commitPreedit() {
  if (preedit_.text.isEmpty()) return;
  QGuiApplication::inputMethod()->commit();
  // An input method that does not commit on request leaves its preedit behind: drop it.
  if (!preedit_.text.isEmpty()) {
    preedit_ = {};
    viewport()->update();
  }
}

QRect TextView::preeditCaretRect() const {
  QRect caret = caretRect();
  if (!preedit_.text.isEmpty()) {
    caret.translate(
        qRound(QFontMetricsF(font()).horizontalAdvance(preedit_.text.left(preedit_.cursor))), 0);
  }
  return caret;
}

void TextView::paintPreedit(QPainter& painter) {
  const QRect caret = caretRect();
  const QFontMetricsF metrics(font());
  QFont underlined = font();
  underlined.setUnderline(true);
  painter.setFont(underlined);
  // Each character in the format the input method gave it (selected candidates, converted
  // parts), the rest plainly underlined, on the base colour over what lies below.
  qreal x = caret.left();
  for (int at = 0; at < preedit_.text.size();) {
    const int length = at + 1 < preedit_.text.size() && preedit_.text[at].isHighSurrogate() &&
                               preedit_.text[at + 1].isLowSurrogate()
                           ? 2
                           : 1;
    const QString character = preedit_.text.mid(at, length);
    QColor foreground = palette().color(QPalette::Text);
    QBrush background = palette().brush(QPalette::Base);
    for (const PreeditFormat& format : preedit_.formats) {
      if (at < format.start || at >= format.start + format.length) continue;
      if (format.format.hasProperty(QTextFormat::ForegroundBrush))
        foreground = format.format.foreground().color();
      if (format.format.hasProperty(QTextFormat::BackgroundBrush))
        background = format.format.background();
    }
    const qreal width = metrics.horizontalAdvance(character);
    const QRectF cell(x, caret.top(), width, caret.height());
    painter.fillRect(cell, background);
    painter.setPen(foreground);
    painter.drawText(QPointF(x, caret.top() + ascent_), character);
    x += width;
    at += length;
  }
  painter.setFont(font());
  if (hasFocus() && preedit_.cursorShown)
    painter.fillRect(preeditCaretRect(), palette().brush(QPalette::Text));
}

}  // namespace textview
