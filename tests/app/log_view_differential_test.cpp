// The log view against a plain text edit: the same random sequences of program appends and user
// keystrokes go to both, and after every step their text, caret and selection must agree; so must
// what copy and save produce. Once both are wide enough that no line wraps, so moves by rows are
// moves by lines; once both are narrow and wrap at word boundaries, so moves by rows cross rows.
// Undo and redo are left out here: the plain text edit undoes the program's appends too, the log
// undoes only the user's own edits (log_view_test.cpp covers them).

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <random>

#include "app/main_window_layout.h"
#include "app/traffic_log.h"
#include "support/fake_prompts.h"
#include "support/temp_dir.h"
#include "textview/text_view.h"

namespace {

struct Key {
  int key;
  Qt::KeyboardModifiers modifiers;
  const char* name;
};

// Keys a user edits and moves with; typing and the clipboard keys are drawn apart.
const Key kKeys[] = {
    {Qt::Key_Backspace, Qt::NoModifier, "Backspace"},
    {Qt::Key_Delete, Qt::NoModifier, "Delete"},
    {Qt::Key_Return, Qt::NoModifier, "Return"},
    {Qt::Key_Left, Qt::NoModifier, "Left"},
    {Qt::Key_Right, Qt::NoModifier, "Right"},
    {Qt::Key_Up, Qt::NoModifier, "Up"},
    {Qt::Key_Down, Qt::NoModifier, "Down"},
    {Qt::Key_Home, Qt::NoModifier, "Home"},
    {Qt::Key_End, Qt::NoModifier, "End"},
    {Qt::Key_Left, Qt::ShiftModifier, "Shift+Left"},
    {Qt::Key_Right, Qt::ShiftModifier, "Shift+Right"},
    {Qt::Key_Up, Qt::ShiftModifier, "Shift+Up"},
    {Qt::Key_Down, Qt::ShiftModifier, "Shift+Down"},
    {Qt::Key_Home, Qt::ShiftModifier, "Shift+Home"},
    {Qt::Key_End, Qt::ShiftModifier, "Shift+End"},
    {Qt::Key_Home, Qt::ControlModifier, "Ctrl+Home"},
    {Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+End"},
    {Qt::Key_Left, Qt::ControlModifier, "Ctrl+Left"},
    {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+Right"},
    {Qt::Key_A, Qt::ControlModifier, "Ctrl+A"},
    {Qt::Key_X, Qt::ControlModifier, "Ctrl+X"},
};

class Pair {
 public:
  // Wide enough that no line wraps, or narrow enough that many do, with the same width for text
  // in both: the same margins, the scroll bar always shown.
  explicit Pair(bool wrapped) {
    for (QAbstractScrollArea* area : {static_cast<QAbstractScrollArea*>(&reference_),
                                      static_cast<QAbstractScrollArea*>(&view_)}) {
      area->setFont(app::LogFont());
      area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      area->resize(wrapped ? 200 : 1400, 300);
      area->show();
    }
    reference_.setLineWrapMode(wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  }

  // A program line, written as each log writes it, with the caret at the end after it.
  void append(const QString& text, const QColor& colour) {
    QTextCursor cursor(reference_.document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    QTextCharFormat format;
    format.setForeground(colour);
    if (!reference_.document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(text, format);
    cursor.endEditBlock();
    reference_.moveCursor(QTextCursor::End);
    view_.document().appendLine(text, colour);
    view_.moveCaretToEnd();
  }

  void press(const Key& key) {
    QTest::keyClick(&reference_, static_cast<Qt::Key>(key.key), key.modifiers);
    QTest::keyClick(&view_, static_cast<Qt::Key>(key.key), key.modifiers);
  }

  // Each character as a key event carrying its text (QTest knows no keys for CJK characters).
  void type(const QString& text) {
    for (QChar c : text) {
      for (QWidget* widget : {static_cast<QWidget*>(&reference_), static_cast<QWidget*>(&view_)}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
      }
    }
  }

  // What Ctrl+C puts on the clipboard, from each.
  std::pair<QString, QString> copied() {
    QApplication::clipboard()->clear();  // a copy without a selection leaves it as it was
    QTest::keyClick(&reference_, Qt::Key_C, Qt::ControlModifier);
    const QString fromReference = QApplication::clipboard()->text();
    QApplication::clipboard()->clear();
    QTest::keyClick(&view_, Qt::Key_C, Qt::ControlModifier);
    return {fromReference, QApplication::clipboard()->text()};
  }

  void paste(const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(&reference_, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&view_, Qt::Key_V, Qt::ControlModifier);
  }

  // Empty when both agree; otherwise what differs.
  std::string difference() const {
    const QTextCursor cursor = reference_.textCursor();
    std::string found;
    if (reference_.toPlainText() != view_.toPlainText()) {
      found += "text: [" + reference_.toPlainText().toStdString() + "] against [" +
               view_.toPlainText().toStdString() + "] ";
    }
    if (cursor.position() != view_.offsetOf(view_.caret())) {
      found += "caret " + std::to_string(cursor.position()) + " against " +
               std::to_string(view_.offsetOf(view_.caret())) + " ";
    }
    if (cursor.anchor() != view_.offsetOf(view_.anchor())) {
      found += "anchor " + std::to_string(cursor.anchor()) + " against " +
               std::to_string(view_.offsetOf(view_.anchor())) + " ";
    }
    if (cursor.selectedText() != view_.selectedText()) found += "selected text ";
    return found;
  }

  // The bytes a save writes of each: the reference's lines as the log saved them before.
  std::pair<QByteArray, QByteArray> saved(const QString& directory) {
    const QDateTime moment(QDate(2026, 1, 2), QTime(3, 4, 5));
    QByteArray expected;
    for (QTextBlock b = reference_.document()->begin(); b.isValid(); b = b.next()) {
      expected += b.text().toUtf8() + "\r\n";
    }
    expected += app::LogClosingLine(moment, QLocale::system()).toUtf8() + "\r\n";
    testing_support::FakePrompts prompts;
    testing_support::FakeShell shell;
    app::TrafficLog log(view_, prompts, shell);
    const QString path = directory + "/saved.txt";
    log.SaveTo(path, moment);
    return {expected, testing_support::ReadAll(path)};
  }

 private:
  QPlainTextEdit reference_;
  textview::TextView view_;
};

// Text of every kind a log holds, wide characters too, and characters the log's font draws two
// cells wide though East Asian Width counts them narrow (℃ × … ① “ ” ‘ ’ §).
const QString kAlphabet = QStringLiteral(
    "abcxyz0123456789 _-.:()ABF\u4e2d\u6587\u62a5\t\u2103\u00d7\u2026\u2460\u201c\u201d"
    "\u2018\u2019\u00a7");
// Short words between blanks, so that wrapped rows end after a blank: where a row breaks inside
// a word, the plain text edit's End puts the caret at the start of the next row, the log's at
// the end of the row (log_view_test.cpp).
const QString kWordsAlphabet = QStringLiteral("abc01 xyz: .F  \t\u2103\u00d7");

QString randomText(std::mt19937& random, int length, bool lineBreaks, const QString& alphabet) {
  static const QString kBreaks[] = {QStringLiteral("\n"), QStringLiteral("\r\n"),
                                    QStringLiteral("\r"), QStringLiteral("\u2029")};
  QString text;
  for (int i = 0; i < length; ++i) {
    if (lineBreaks && random() % 12 == 0) {
      text += kBreaks[random() % std::size(kBreaks)];
    } else {
      text += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
    }
  }
  return text;
}

void RunRandomSessions(bool wrapped) {
  const QString& alphabet = wrapped ? kWordsAlphabet : kAlphabet;
  testing_support::TempDir directory;
  const QColor colours[] = {app::kRxColour, app::kTxColour, app::kHeaderColour};
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 random(seed);
    Pair pair(wrapped);
    std::string steps;
    for (int step = 0; step < 120; ++step) {
      const unsigned draw = random() % 20;
      if (draw < 3) {
        pair.append(randomText(random, static_cast<int>(random() % 80), true, alphabet),
                    colours[draw]);
        steps += "append; ";
      } else if (draw < 7) {
        const QString text =
            randomText(random, 1 + static_cast<int>(random() % 3), false, alphabet);
        pair.type(text);
        steps += "type " + text.toStdString() + "; ";
      } else if (draw == 7) {
        const auto [fromReference, fromView] = pair.copied();
        ASSERT_EQ(fromReference, fromView) << "seed " << seed << " after " << steps;
        steps += "copy; ";
      } else if (draw == 8) {
        pair.paste(randomText(random, static_cast<int>(random() % 12), true, alphabet));
        steps += "paste; ";
      } else {
        const Key& key = kKeys[random() % std::size(kKeys)];
        pair.press(key);
        steps += std::string(key.name) + "; ";
      }
      ASSERT_EQ(pair.difference(), "") << "seed " << seed << " after " << steps;
    }
    const auto [expected, written] = pair.saved(directory.path());
    EXPECT_EQ(written, expected) << "seed " << seed;
  }
}

}  // namespace

TEST(LogViewAgainstPlainTextEdit, RandomAppendsAndEditsLeaveTheSameTextCaretCopyAndSave) {
  RunRandomSessions(false);
}

// Wrapped at word boundaries as the plain text edit wraps: Up, Down, Home and End go by rows.
TEST(LogViewAgainstPlainTextEdit, OnWrappedRowsTheSameKeysLeaveTheSameCaret) {
  RunRandomSessions(true);
}
