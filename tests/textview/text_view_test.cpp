// The log view: wrapping by cells, hit testing and caret moves over wrapped rows, the editing
// keys, the primary selection, the context-menu request and the accessible text.

#include "textview/text_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QClipboard>
#include <QFontMetricsF>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>

#include "textview/glyph_masks.h"
#include "textview/nearest_int.h"
#include "textview/row_glyphs.h"
#include "textview/row_raster.h"
#include "textview/scroll_rows.h"
#include "textview/wrap.h"

namespace {

using textview::TextPosition;

// A monospaced font with Chinese characters, as a log shows its text in.
QFont TestFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("monospace")});
  font.setPixelSize(13);
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

const QColor kGreen{0, 128, 0};
const QColor kBlue{0, 0, 255};
constexpr int kMargin = 4;

// A shown view whose rows hold exactly `columns` cells.
struct ShownView {
  textview::TextView view;

  explicit ShownView(int columns, int rows = 10) {
    view.setFont(TestFont());
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.show();
    resize(columns, rows);
  }

  void resize(int columns, int rows) {
    const int chromeWidth = view.width() - view.viewport()->width();
    const int chromeHeight = view.height() - view.viewport()->height();
    view.resize(
        chromeWidth + 2 * kMargin + static_cast<int>(std::ceil(columns * view.cellWidth())) + 1,
        chromeHeight + 2 * kMargin + rows * view.rowHeight());
    QCoreApplication::processEvents();
  }

  // A point just inside the left half of a cell on a row of the screen.
  QPoint cellPoint(int screenRow, int cell) const {
    return QPoint(kMargin + static_cast<int>(std::ceil(cell * view.cellWidth())) + 1,
                  kMargin + screenRow * view.rowHeight() + view.rowHeight() / 2);
  }

  void mouse(QEvent::Type type, Qt::MouseButton button, QPoint at,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::MouseButtons(Qt::LeftButton) : held,
                      modifiers);
    QApplication::sendEvent(view.viewport(), &event);
  }

  void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, at, modifiers);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, at, modifiers);
  }

  void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&view, key, modifiers);
  }

  QStringList lines() const { return view.toPlainText().split(u'\n'); }
};

class FakeSelection : public textview::PrimarySelection {
 public:
  bool supported = true;
  QString held;
  bool isSupported() const override { return supported; }
  QString text() const override { return held; }
  void setText(const QString& text) override { held = text; }
};

}  // namespace

// Rows of `columns` cells of the log's font, with its tab stops and the cells of its glyphs.
textview::wrap::Grid LogGrid(int columns) {
  const qreal cell = QFontMetricsF(TestFont()).horizontalAdvance(u'0');
  // Kept to the end: it holds fonts, which must not outlive the application.
  static const auto* cells =
      new textview::CellWidths(textview::CellWidths::ofFont(TestFont(), cell));
  return {columns, textview::wrap::kTabStopPixels / cell, cells};
}

// The rows of a line at `columns` cells, as texts.
QStringList RowTexts(const QString& line, int columns) {
  const bool plain = textview::wrap::IsPlain(line, LogGrid(columns));
  QStringList rows;
  qsizetype start = 0;
  for (qsizetype next : textview::wrap::RowStarts(line, plain, LogGrid(columns))) {
    rows.append(line.mid(start, next - start));
    start = next;
  }
  rows.append(line.mid(start));
  return rows;
}

// The rows Qt's own layout gives the line, wrapping at word boundaries (or anywhere in a word
// longer than a row) in the log's font, `columns` cells wide.
QStringList QtRowTexts(const QString& line, int columns) {
  QTextLayout layout(line, TestFont());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  const qreal cell = QFontMetricsF(TestFont()).horizontalAdvance(u'0');
  QStringList rows;
  layout.beginLayout();
  for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
    row.setLineWidth(columns * cell + cell / 4);
    rows.append(line.mid(row.textStart(), row.textLength()));
  }
  layout.endLayout();
  return rows;
}

TEST(TextViewScrollRows, RowsPastWhatAnIntHoldsEndTheScrollRangeAtIntMaxInsteadOfWrapping) {
  using textview::NearestInt;
  using textview::ScrollMaximum;
  constexpr int kIntMax = std::numeric_limits<int>::max();
  EXPECT_EQ(ScrollMaximum(25, 10), 15);
  EXPECT_EQ(ScrollMaximum(5, 10), 0);
  EXPECT_EQ(ScrollMaximum(qsizetype{kIntMax} + 10, 10), kIntMax);
  // Counts an int would wrap to a small or a negative number.
  EXPECT_EQ(ScrollMaximum((qsizetype{1} << 32) + 20, 10), kIntMax);
  EXPECT_EQ(ScrollMaximum(qsizetype{kIntMax} + 20, 10), kIntMax);
  EXPECT_EQ(NearestInt(12345), 12345);
  EXPECT_EQ(NearestInt((qsizetype{1} << 32) + 7), kIntMax);
  EXPECT_EQ(NearestInt(-(qsizetype{1} << 32) + 7), std::numeric_limits<int>::min());
}

TEST(TextViewWrap, RowsBreakWhereQtsLayoutBreaksThemAndAResizeKeepsTheTopLine) {
  using namespace textview::wrap;
  // A word longer than a row breaks where the row is full; a hex byte never splits, and the
  // blanks a row breaks after stay on it.
  EXPECT_EQ(RowTexts(QString(25, u'a'), 10), QStringList({"aaaaaaaaaa", "aaaaaaaaaa", "aaaaa"}));
  EXPECT_EQ(RowTexts(QStringLiteral("RX:01 02 03 04"), 8), QStringList({"RX:01 02 ", "03 04"}));
  EXPECT_EQ(RowTexts(QStringLiteral("RX:01 02 03 04"), 7), QStringList({"RX:01 ", "02 03 ", "04"}));
  EXPECT_EQ(RowTexts(QStringLiteral("ab    cd"), 3), QStringList({"ab    ", "cd"}));
  EXPECT_EQ(RowTexts(QString(), 10), QStringList({""}));
  EXPECT_EQ(RowTexts(QStringLiteral("中文报文中"), 10).size(), 1);  // five wide characters
  EXPECT_EQ(RowTexts(QStringLiteral("中文报文中"), 9), QStringList({"中文报文", "中"}));
  EXPECT_EQ(RowTexts(QStringLiteral("ab中"), 3), QStringList({"ab", "中"}));
  EXPECT_EQ(RowTexts(QStringLiteral("abc中def"), 5), QStringList({"abc中", "def"}));
  // A tab reaches the next stop of 80 pixels (a fraction of cells), a whole stop on from a
  // stop, but not past the row's end.
  const QString tabbed = QStringLiteral("a\tb\t");
  const qreal stop = LogGrid(1).tabStop;
  EXPECT_NEAR(CellOf(tabbed, false, LogGrid(40), {0, 4}, 2), stop, 1e-9);
  EXPECT_NEAR(CellOf(tabbed, false, LogGrid(40), {0, 4}, 4), 2 * stop, 1e-9);
  EXPECT_NEAR(CellOf(QStringLiteral("\t"), false, LogGrid(40), {0, 1}, 1), stop, 1e-9);
  EXPECT_EQ(RowTexts(tabbed, 6), QStringList({"a\t", "b\t"}));
  const QString mixed = QStringLiteral("a中b");
  EXPECT_EQ(CellOf(mixed, false, LogGrid(10), {0, 3}, 2), 3);
  EXPECT_EQ(ColumnNearest(mixed, false, LogGrid(10), {0, 3}, 1.9), 1);
  EXPECT_EQ(ColumnNearest(mixed, false, LogGrid(10), {0, 3}, 2.1), 2);
  // A narrow character beyond the BMP is one cell in two UTF-16 units; an emoji is wide.
  const QString outside = QStringLiteral("x\U0001D400y\U0001F600z");
  EXPECT_EQ(CellOf(outside, false, Grid{20}, {0, 7}, 3), 2);
  EXPECT_EQ(CellOf(outside, false, Grid{20}, {0, 7}, 6), 5);
  EXPECT_EQ(CellOf(outside, false, LogGrid(20), {0, 7}, 6), 6);  // the fallback draws 𝐀 wide
  // The cells of a code point are the table's: here "w" takes two, "M" three and ASCII is not
  // all narrow; without a table East Asian Width decides.
  const textview::CellWidths table([](char32_t c) { return c == u'w' ? 2 : c == u'M' ? 3 : 1; });
  const Grid four{4, 8, &table};
  EXPECT_FALSE(IsPlain(QStringLiteral("awwb"), four));
  EXPECT_TRUE(IsPlain(QStringLiteral("abcdefghi"), four));
  EXPECT_EQ(RowStarts(QStringLiteral("awwb"), false, four), std::vector<qsizetype>({2}));
  EXPECT_EQ(RowStarts(QStringLiteral("aM b"), false, four), std::vector<qsizetype>({3}));
  EXPECT_EQ(CellOf(QStringLiteral("awwb"), false, four, {0, 2}, 2), 3);
  EXPECT_EQ(ColumnNearest(QStringLiteral("awwb"), false, four, {0, 2}, 1.9), 1);
  EXPECT_EQ(ColumnNearest(QStringLiteral("awwb"), false, four, {0, 2}, 2.1), 2);
  EXPECT_TRUE(IsPlain(QStringLiteral("a\u2103b"), Grid{4}));
  EXPECT_FALSE(IsPlain(QStringLiteral("a\u2103b"), LogGrid(4)));  // the CJK font draws ℃ wide
  EXPECT_FALSE(IsPlain(QStringLiteral("a中b"), Grid{4}));

  // Random lines of what a log holds: the walk of a plain line gives what its arithmetic gives,
  // and both give the rows Qt's layout gives, characters the font draws wide included.
  std::mt19937 random(7);
  const QString alphabet =
      QStringLiteral("0123456789ABCDEF    RX:.()abcxyz中文报,-/$*\t\t℃×…①“”‘’§");
  for (int i = 0; i < 2000; ++i) {
    QString line;
    const int length = static_cast<int>(random() % 90);
    for (int c = 0; c < length; ++c) line += alphabet[random() % alphabet.size()];
    if (i % 2 == 0) line.remove(QStringLiteral("中")).remove(QStringLiteral("文")).remove(u'报');
    const int columns = 4 + static_cast<int>(random() % 30);
    if (IsPlain(line, LogGrid(columns))) {
      ASSERT_EQ(RowStarts(line, true, LogGrid(columns)), RowStarts(line, false, LogGrid(columns)))
          << line.toStdString() << " at " << columns;
    }
    ASSERT_EQ(RowTexts(line, columns).join(u'|').toStdString(),
              QtRowTexts(line, columns).join(u'|').toStdString())
        << columns << " columns";
  }

  ShownView shown(40, 4);
  ASSERT_EQ(shown.view.columns(), 40);
  textview::TextDocument& document = shown.view.document();
  document.appendLine(QString(100, u'x'), kGreen);
  document.appendLine(QString(30, QChar(0x4e2d)), kBlue);  // 60 cells
  document.appendLine(QStringLiteral("short"), kGreen);
  EXPECT_EQ(shown.view.rowsOfLine(0), 3);
  EXPECT_EQ(shown.view.rowsOfLine(1), 2);
  EXPECT_EQ(shown.view.rowCount(), 6);
  shown.resize(25, 4);
  ASSERT_EQ(shown.view.columns(), 25);
  EXPECT_EQ(shown.view.rowsOfLine(0), 4);
  EXPECT_EQ(shown.view.rowsOfLine(1), 3);  // twelve wide characters a row, one cell left over
  EXPECT_EQ(shown.view.rowCount(), 8);

  // The line at the top of the view stays there through a rewrap.
  for (int i = 0; i < 40; ++i)
    document.appendLine(QStringLiteral("line %1 ").arg(i).repeated(6), kBlue);
  shown.view.setCaret({20, 0});
  shown.view.ensureCaretVisible();
  shown.view.verticalScrollBar()->setValue(shown.view.verticalScrollBar()->value() + 0);
  const int topLine = shown.view.positionAt(shown.cellPoint(0, 0)).line;
  shown.resize(60, 4);
  EXPECT_EQ(shown.view.positionAt(shown.cellPoint(0, 0)).line, topLine);
  EXPECT_EQ(shown.view.positionAt(shown.cellPoint(0, 0)).column, 0);
}

TEST(TextViewCaret, ClicksAndKeysPlaceTheCaretOnTheCellGridAcrossWrappedRows) {
  ShownView shown(20);
  textview::TextView& view = shown.view;
  view.document().appendLine(QStringLiteral("0123456789abcdefghij0123456789ABCDE"), kGreen);
  view.document().appendLine(QStringLiteral("中文中文中文中文中文中文"), kBlue);  // 24 cells
  view.document().appendLine(QStringLiteral("xyz"), kGreen);
  ASSERT_EQ(view.rowCount(), 5);

  shown.click(shown.cellPoint(1, 4));
  EXPECT_EQ(view.caret(), (TextPosition{0, 24}));
  EXPECT_FALSE(view.hasSelection());
  EXPECT_NEAR(view.caretRect().x(), kMargin + 4 * view.cellWidth(), 1.0);
  EXPECT_EQ(view.caretRect().y(), kMargin + view.rowHeight());
  const QRect wide = view.characterRect({1, 2});
  EXPECT_NEAR(wide.x(), kMargin + 4 * view.cellWidth(), 1.0);
  EXPECT_NEAR(wide.width(), 2 * view.cellWidth(), 1.0);
  shown.click(shown.cellPoint(2, 4));  // the left half of the third wide character
  EXPECT_EQ(view.caret(), (TextPosition{1, 2}));
  shown.click(shown.cellPoint(2, 5));  // its right half
  EXPECT_EQ(view.caret(), (TextPosition{1, 3}));
  shown.click(shown.cellPoint(4, 15));  // past the end of a short line
  EXPECT_EQ(view.caret(), (TextPosition{2, 3}));

  // Up and Down go through the rows of the wrap and keep the cell they started from.
  view.setCaret({0, 4});
  const TextPosition down[] = {{0, 24}, {1, 2}, {1, 12}, {2, 3}};
  for (const TextPosition& expected : down) {
    shown.key(Qt::Key_Down);
    EXPECT_EQ(view.caret(), expected);
  }
  const TextPosition up[] = {{1, 12}, {1, 2}, {0, 24}, {0, 4}, {0, 4}};
  for (const TextPosition& expected : up) {
    shown.key(Qt::Key_Up);
    EXPECT_EQ(view.caret(), expected);
  }

  // Home and End go to the ends of the row; at a row's end the caret shows on that row.
  shown.key(Qt::Key_End);
  EXPECT_EQ(view.caret(), (TextPosition{0, 20}));
  EXPECT_EQ(view.caretRect().y(), kMargin);
  EXPECT_NEAR(view.caretRect().x(), kMargin + 20 * view.cellWidth(), 1.0);
  shown.key(Qt::Key_Home);
  EXPECT_EQ(view.caret(), (TextPosition{0, 0}));
  view.setCaret({0, 24});
  shown.key(Qt::Key_End);
  EXPECT_EQ(view.caret(), (TextPosition{0, 35}));
  shown.key(Qt::Key_Home);
  EXPECT_EQ(view.caret(), (TextPosition{0, 20}));
  EXPECT_EQ(view.caretRect().y(), kMargin + view.rowHeight());

  // Left and Right cross line ends; Shift extends; a plain move drops the selection at its end.
  shown.key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(view.caret(), (TextPosition{2, 3}));
  shown.key(Qt::Key_Home);
  shown.key(Qt::Key_Left);
  EXPECT_EQ(view.caret(), (TextPosition{1, 12}));
  shown.key(Qt::Key_Right, Qt::ShiftModifier);
  shown.key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), QStringLiteral("\u2029x"));
  shown.key(Qt::Key_Left);
  EXPECT_EQ(view.caret(), (TextPosition{1, 12}));
  EXPECT_FALSE(view.hasSelection());
  shown.key(Qt::Key_Home, Qt::ControlModifier);
  shown.key(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), QStringLiteral("0123456789abcdefghij"));
  shown.click(shown.cellPoint(2, 2), Qt::ShiftModifier);
  EXPECT_EQ(view.anchor(), (TextPosition{0, 0}));
  EXPECT_EQ(view.caret(), (TextPosition{1, 1}));

  // Ctrl+arrows go by words; PageDown moves the view and the caret a page.
  view.document().setPlainText(QStringLiteral("RX:01 02 FF (12:00:00:000)"));
  EXPECT_EQ(view.caret(), (TextPosition{0, 1}));  // clamped into the new text
  const int words[] = {2, 3, 6, 9, 12, 13};
  for (const int column : words) {
    shown.key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(view.caret().column, column);
  }
  shown.key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(view.caret().column, 12);
  for (int i = 0; i < 60; ++i) view.document().appendLine(QStringLiteral("row %1").arg(i), kGreen);
  view.setCaret({2, 1});
  shown.key(Qt::Key_PageDown);
  EXPECT_EQ(view.caret(), (TextPosition{2 + view.visibleRows(), 1}));
  EXPECT_EQ(view.topRow(), view.visibleRows());
  shown.key(Qt::Key_PageUp, Qt::ShiftModifier);
  EXPECT_EQ(view.caret(), (TextPosition{2, 1}));
}

// The pixels of a screen row between two cell edges of a grabbed viewport for which `where`
// holds.
int CountWhere(const QImage& image, const textview::TextView& view, int screenRow, int fromCell,
               int toCell, const std::function<bool(QColor)>& where) {
  int count = 0;
  const int left = kMargin + static_cast<int>(fromCell * view.cellWidth());
  const int right = std::min(image.width(), kMargin + static_cast<int>(toCell * view.cellWidth()));
  for (int y = kMargin + screenRow * view.rowHeight();
       y < kMargin + (screenRow + 1) * view.rowHeight(); ++y) {
    for (int x = left; x < right; ++x) count += where(image.pixelColor(x, y)) ? 1 : 0;
  }
  return count;
}

// Those that have a colour, or (with `other`) that do not.
int CountIn(const QImage& image, const textview::TextView& view, int screenRow, int fromCell,
            int toCell, const QColor& colour, bool other = false) {
  return CountWhere(image, view, screenRow, fromCell, toCell,
                    [&](QColor pixel) { return (pixel == colour) != other; });
}

// A pixel that is not grey: drawn in colour fringes, or in a glyph's own colours.
bool Tinted(QColor pixel) { return pixel.red() != pixel.green() || pixel.green() != pixel.blue(); }

// Runs the running test again in child processes, with the environment variable `name` set to
// each of `values`; there (where it is set) it does its work, and this is true.
bool InAChildRunWith(const char* name, const QStringList& values) {
  if (qEnvironmentVariableIsSet(name)) return true;
  const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString filter =
      QStringLiteral("--gtest_filter=%1.%2").arg(self->test_suite_name(), self->name());
  for (const QString& value : values) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(name), value);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {filter});
    EXPECT_TRUE(child.waitForFinished(120'000)) << name << "=" << value.toStdString();
    const QByteArray output = child.readAll();
    EXPECT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                output.contains("[  PASSED  ] 1 test"))
        << name << "=" << value.toStdString() << ":\n"
        << output.toStdString();
  }
  return false;
}

TEST(TextViewCaret, ACharacterTheFontDrawsWideTakesTwoCellsInPaintCaretSelectionAndWrap) {
  ShownView shown(20, 4);
  textview::TextView& view = shown.view;
  const QColor base = view.palette().color(QPalette::Base);
  // ℃ takes cells 2 and 3, the blank cell 4, 状 cells 5 and 6.
  view.document().appendLine(QStringLiteral("25℃ 状态"), kGreen);
  const QImage image = view.viewport()->grab().toImage();
  EXPECT_EQ(CountIn(image, view, 0, 4, 5, base, true), 0) << "the blank shows";
  EXPECT_GT(CountIn(image, view, 0, 3, 4, base, true), 5) << "℃ reaches its second cell";
  EXPECT_GT(CountIn(image, view, 0, 5, 7, base, true), 20);
  const QRect degrees = view.characterRect({0, 2});
  EXPECT_NEAR(degrees.x(), kMargin + 2 * view.cellWidth(), 1.0);
  EXPECT_NEAR(degrees.width(), 2 * view.cellWidth(), 1.0);
  view.setCaret({0, 3});
  EXPECT_NEAR(view.caretRect().x(), kMargin + 4 * view.cellWidth(), 1.0);
  shown.click(shown.cellPoint(0, 2));  // the left half of ℃
  EXPECT_EQ(view.caret(), (TextPosition{0, 2}));
  shown.click(shown.cellPoint(0, 3));  // its right half
  EXPECT_EQ(view.caret(), (TextPosition{0, 3}));
  shown.click(shown.cellPoint(0, 4));  // the blank
  EXPECT_EQ(view.caret(), (TextPosition{0, 3}));
  shown.key(Qt::Key_Right);
  EXPECT_NEAR(view.caretRect().x(), kMargin + 5 * view.cellWidth(), 1.0);
  QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
  EXPECT_NEAR(text->characterRect(2).width(), 2 * view.cellWidth(), 1.0);
  EXPECT_EQ(text->offsetAtPoint(view.viewport()->mapToGlobal(shown.cellPoint(0, 5))), 4);

  // Selected, ℃ shows its two cells in the highlight, and the blank after it stays plain.
  view.setCaret({0, 2});
  view.setCaret({0, 3}, true);
  const QImage selected = view.viewport()->grab().toImage();
  const QColor highlight = view.palette().color(QPalette::Highlight);
  EXPECT_GT(CountIn(selected, view, 0, 3, 4, highlight), 20);
  EXPECT_EQ(CountIn(selected, view, 0, 4, 5, highlight), 0);

  // Ten ℃ take twenty cells: one row of twenty, two of nineteen.
  view.document().appendLine(QString(10, QChar(0x2103)), kBlue);
  EXPECT_EQ(view.rowsOfLine(1), 1);
  shown.resize(19, 4);
  ASSERT_EQ(view.columns(), 19);
  EXPECT_EQ(view.rowsOfLine(1), 2);
  EXPECT_EQ(view.rowSpanShowing({1, 9}), (textview::wrap::RowSpan{9, 10}));
}

TEST(TextViewEditing, KeysEditTheTextAsAPlainTextEditDoes) {
  ShownView shown(60);
  textview::TextView& view = shown.view;
  view.document().appendLine(QStringLiteral("RX:01 02 FF (12:00:00:000)"), kGreen);
  view.setCaret({0, 8});
  QTest::keyClicks(&view, QStringLiteral("ab"));
  shown.key(Qt::Key_Backspace);
  EXPECT_EQ(view.toPlainText(), QStringLiteral("RX:01 02a FF (12:00:00:000)"));
  shown.key(Qt::Key_Return);
  EXPECT_EQ(shown.lines(), (QStringList{"RX:01 02a", " FF (12:00:00:000)"}));
  EXPECT_EQ(view.caret(), (TextPosition{1, 0}));
  EXPECT_EQ(view.document().lineColour(1), kGreen);  // the line broken off keeps its colour
  shown.key(Qt::Key_Backspace);
  shown.key(Qt::Key_Delete);
  EXPECT_EQ(view.toPlainText(), QStringLiteral("RX:01 02aFF (12:00:00:000)"));
  shown.key(Qt::Key_End, Qt::ShiftModifier);
  QTest::keyClicks(&view, QStringLiteral("Z"));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("RX:01 02aZ"));
  shown.key(Qt::Key_Backspace, Qt::ControlModifier);
  EXPECT_EQ(view.toPlainText(), QStringLiteral("RX:01 "));
  view.setCaret({0, 0});
  shown.key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(view.toPlainText(), QStringLiteral(":01 "));
  shown.key(Qt::Key_Tab);
  EXPECT_EQ(view.toPlainText(), QStringLiteral("\t:01 "));

  // Undo steps back through the user's edits and puts the caret where each happened; typing in
  // one run is one step.
  shown.key(Qt::Key_Z, Qt::ControlModifier);
  shown.key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(view.toPlainText(), QStringLiteral("RX:01 "));
  EXPECT_EQ(view.caret(), (TextPosition{0, 2}));  // after the text the undo put back
  shown.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(view.toPlainText(), QStringLiteral(":01 "));
  view.setCaret({0, 4});
  QTest::keyClicks(&view, QStringLiteral("abc"));
  shown.key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(view.toPlainText(), QStringLiteral(":01 "));

  // The clipboard keys, Qt's old ones included; pasted line breaks start lines.
  shown.key(Qt::Key_A, Qt::ControlModifier);
  shown.key(Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(":01 "));
  shown.key(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(view.toPlainText(), QString());
  QApplication::clipboard()->setText(QStringLiteral("one\r\ntwo\nthree"));
  shown.key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(shown.lines(), (QStringList{"one", "two", "three"}));
  EXPECT_EQ(view.caret(), (TextPosition{2, 5}));
  view.setCaret({1, 1});
  view.setCaret({2, 2}, true);
  shown.key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("wo\nth"));
  EXPECT_EQ(shown.lines(), (QStringList{"one", "tree"}));
  shown.key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(shown.lines(), (QStringList{"one", "two", "three"}));

  // A double click selects a word, a third click the line with its line break.
  view.document().setPlainText(QStringLiteral("RX:01 02 FF\nnext"));
  const QPoint onTwo = shown.cellPoint(0, 7);
  shown.mouse(QEvent::MouseButtonPress, Qt::LeftButton, onTwo);
  shown.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, onTwo);
  shown.mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, onTwo);
  shown.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, onTwo);
  EXPECT_EQ(view.selectedText(), QStringLiteral("02"));
  shown.click(onTwo);
  EXPECT_EQ(view.selectedText(), QStringLiteral("RX:01 02 FF\u2029"));
}

// A key types its text exactly where Qt's own text edit types it: the same key events go to
// both. Ctrl+I brings a tab on X11, a format character may come with Ctrl+Shift, AltGr arrives
// as Ctrl+Alt.
TEST(TextViewEditing, KeysTypeTheTextQtsTextEditTypes) {
  ShownView shown(60);
  QPlainTextEdit reference;
  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString text;
  };
  const Key keys[] = {
      {Qt::Key_A, Qt::NoModifier, "a"},
      {Qt::Key_I, Qt::ControlModifier, "\t"},
      {Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier, "B"},
      {Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x200D))},                           // ZWJ
      {Qt::Key_unknown, Qt::ControlModifier | Qt::ShiftModifier, QString(QChar(0x200F))},  // RLM
      {Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\U0001F600")},
      {Qt::Key_unknown, Qt::NoModifier, QString(QChar(0xE000))},  // private use
      {Qt::Key_L, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("ł")},
      {Qt::Key_Tab, Qt::NoModifier, "\t"},
      {Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x07))},  // a control character
  };
  for (const Key& key : keys) {
    for (QWidget* target :
         {static_cast<QWidget*>(&shown.view), static_cast<QWidget*>(&reference)}) {
      QKeyEvent press(QEvent::KeyPress, key.key, key.modifiers, key.text);
      QApplication::sendEvent(target, &press);
    }
    EXPECT_EQ(shown.view.toPlainText(), reference.toPlainText()) << key.text.toStdString();
  }
  EXPECT_EQ(shown.view.toPlainText(), QStringLiteral("a\u200D\u200F\U0001F600\uE000ł\t"));
}

// Text from an input method: committed text goes in as typed, the text being composed shows at
// the caret without entering the document, a commit may replace text before the caret, and a
// cancelled composition leaves nothing behind.
TEST(TextViewEditing, AnInputMethodCommitsComposesAndCancelsAsInATextEdit) {
  ShownView shown(40, 4);
  textview::TextView& view = shown.view;
  EXPECT_TRUE(view.testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(view.inputMethodQuery(Qt::ImEnabled).toBool());
  view.setPlainText(QStringLiteral("ab"));
  view.setCaret({0, 2});
  const auto send = [&](QInputMethodEvent&& event) { QApplication::sendEvent(&view, &event); };
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("你好"));
  send(std::move(commit));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("ab你好"));
  EXPECT_EQ(view.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("ab你好"));
  EXPECT_EQ(view.inputMethodQuery(Qt::ImCursorPosition).toInt(), 4);
  EXPECT_EQ(view.inputMethodQuery(Qt::ImAnchorPosition).toInt(), 4);
  const QRectF caretAlone = view.inputMethodQuery(Qt::ImCursorRectangle).toRectF();
  EXPECT_EQ(caretAlone.toRect(), view.caretRect().translated(view.viewport()->pos()));

  const QImage before = view.viewport()->grab().toImage();
  QTextCharFormat highlighted;
  highlighted.setBackground(Qt::yellow);
  send(QInputMethodEvent(QStringLiteral("ce"), {{QInputMethodEvent::TextFormat, 0, 2, highlighted},
                                                {QInputMethodEvent::Cursor, 2, 1, {}}}));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("ab你好"));
  const QImage composing = view.viewport()->grab().toImage();
  EXPECT_NE(composing, before);
  bool yellow = false;
  for (int x = 0; x < composing.width() && !yellow; ++x)
    yellow = composing.pixel(x, kMargin + view.rowHeight() / 2) == QColor(Qt::yellow).rgb();
  EXPECT_TRUE(yellow) << "the composed text in its format";
  EXPECT_GT(view.inputMethodQuery(Qt::ImCursorRectangle).toRectF().left(), caretAlone.left());

  QInputMethodEvent replace;
  replace.setCommitString(QStringLiteral("测"), -1, 1);  // the character before the caret
  send(std::move(replace));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("ab你测"));
  EXPECT_EQ(view.caret(), (TextPosition{0, 4}));
  const QImage committed = view.viewport()->grab().toImage();
  send(QInputMethodEvent(QStringLiteral("xyz"), {}));
  send(QInputMethodEvent());
  EXPECT_EQ(view.toPlainText(), QStringLiteral("ab你测"));
  EXPECT_EQ(view.viewport()->grab().toImage(), committed);
}

TEST(TextViewPrimarySelection, UserSelectionsGoToThePrimarySelectionAndAMiddleClickPastesIt) {
  ShownView shown(40);
  textview::TextView& view = shown.view;
  FakeSelection primary;
  view.setPrimarySelection(&primary);
  view.document().appendLine(QStringLiteral("hello world"), kGreen);

  shown.mouse(QEvent::MouseButtonPress, Qt::LeftButton, shown.cellPoint(0, 0));
  shown.mouse(QEvent::MouseMove, Qt::NoButton, shown.cellPoint(0, 3));
  EXPECT_EQ(primary.held, QString());  // not before the button is let go
  shown.mouse(QEvent::MouseMove, Qt::NoButton, shown.cellPoint(0, 5));
  shown.mouse(QEvent::MouseButtonRelease, Qt::LeftButton, shown.cellPoint(0, 5));
  EXPECT_EQ(primary.held, QStringLiteral("hello"));
  shown.key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(primary.held, QStringLiteral("hello "));
  view.selectAll();  // a program selection leaves it alone
  EXPECT_EQ(primary.held, QStringLiteral("hello "));
  shown.key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(primary.held, QStringLiteral("hello world"));

  primary.held = QStringLiteral("XY");
  shown.mouse(QEvent::MouseButtonPress, Qt::MiddleButton, shown.cellPoint(0, 6));
  shown.mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, shown.cellPoint(0, 6));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("hello XYworld"));
  EXPECT_EQ(view.caret(), (TextPosition{0, 8}));

  // Without a primary selection on the platform, neither happens.
  primary.supported = false;
  shown.key(Qt::Key_Home, Qt::ShiftModifier);
  shown.mouse(QEvent::MouseButtonPress, Qt::MiddleButton, shown.cellPoint(0, 0));
  EXPECT_EQ(primary.held, QStringLiteral("XY"));
  EXPECT_EQ(view.toPlainText(), QStringLiteral("hello XYworld"));
}

TEST(TextViewContextMenu, ARightClickAsksForTheMenuAtThePositionAPlainTextEditGives) {
  ShownView shown(40);
  QPlainTextEdit reference;
  reference.setFont(TestFont());
  reference.resize(shown.view.size());
  reference.show();
  shown.view.document().appendLine(QStringLiteral("RX:01"), kGreen);
  shown.view.setCaret({0, 2});
  QList<QPoint> asked;
  for (QAbstractScrollArea* area : {static_cast<QAbstractScrollArea*>(&shown.view),
                                    static_cast<QAbstractScrollArea*>(&reference)}) {
    area->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(area, &QWidget::customContextMenuRequested,
                     [&asked](const QPoint& at) { asked << at; });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(area));
    const QPoint inWindow = area->viewport()->mapTo(area->window(), QPoint(30, 12));
    QTest::mouseClick(area->window()->windowHandle(), Qt::RightButton, Qt::NoModifier, inWindow);
  }
  ASSERT_EQ(asked.size(), 2);
  EXPECT_EQ(asked[0], asked[1]);
  EXPECT_EQ(shown.view.caret(), (TextPosition{0, 2}));  // a right click leaves the caret
}

TEST(TextViewAccessibility, AssistiveToolsReadTheTextCaretSelectionAndCharacterPlaces) {
  ShownView shown(20);
  textview::TextView& view = shown.view;
  view.document().appendLine(QStringLiteral("RX:01 02 FF"), kGreen);
  view.document().appendLine(QStringLiteral("中文"), kBlue);
  view.document().appendLine(QString(30, u'z'), kGreen);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::EditableText);
  EXPECT_TRUE(accessible->state().editable);
  QAccessibleTextInterface* text = accessible->textInterface();
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(text->characterCount(), 11 + 1 + 2 + 1 + 30);
  EXPECT_EQ(text->text(0, text->characterCount()), view.toPlainText());
  EXPECT_EQ(accessible->text(QAccessible::Value), view.toPlainText());

  view.setCaret({1, 1});
  EXPECT_EQ(text->cursorPosition(), 13);
  view.setCaret({0, 6});
  view.setCaret({0, 8}, true);
  ASSERT_EQ(text->selectionCount(), 1);
  int start = -1;
  int end = -1;
  text->selection(0, &start, &end);
  EXPECT_EQ(std::pair(start, end), std::pair(6, 8));
  text->setSelection(0, 12, 14);
  EXPECT_EQ(view.selectedText(), QStringLiteral("中文"));

  EXPECT_EQ(text->textAtOffset(7, QAccessible::WordBoundary, &start, &end), QStringLiteral("02"));
  EXPECT_EQ(std::pair(start, end), std::pair(6, 8));
  EXPECT_EQ(text->textAfterOffset(7, QAccessible::WordBoundary, &start, &end), QStringLiteral(" "));
  EXPECT_EQ(text->textAtOffset(11, QAccessible::CharBoundary, &start, &end), QStringLiteral("\n"));
  EXPECT_EQ(text->textAtOffset(3, QAccessible::ParagraphBoundary, &start, &end),
            QStringLiteral("RX:01 02 FF\n"));
  EXPECT_EQ(text->textBeforeOffset(13, QAccessible::ParagraphBoundary, &start, &end),
            QStringLiteral("RX:01 02 FF\n"));
  // A line boundary is a row of the wrap: the 30 z's take two rows of twenty.
  EXPECT_EQ(text->textAtOffset(40, QAccessible::LineBoundary, &start, &end), QString(10, u'z'));
  EXPECT_EQ(std::pair(start, end), std::pair(35, 45));

  const QRect wide = text->characterRect(13);
  EXPECT_EQ(wide.topLeft(), view.viewport()->mapToGlobal(view.characterRect({1, 1}).topLeft()));
  EXPECT_NEAR(wide.width(), 2 * view.cellWidth(), 1.0);
  EXPECT_EQ(text->offsetAtPoint(wide.topLeft() + QPoint(2, 2)), 13);

  accessible->editableTextInterface()->insertText(0, QStringLiteral("> "));
  EXPECT_EQ(view.document().lineText(0), QStringLiteral("> RX:01 02 FF"));
  accessible->editableTextInterface()->deleteText(0, 2);
  EXPECT_EQ(view.document().lineText(0), QStringLiteral("RX:01 02 FF"));

  // A surrogate pair is one character, whichever half is named; no caret rests inside it.
  view.document().appendLine(QStringLiteral("a\U0001F600b"), kGreen);
  const int pair = text->characterCount() - 3;  // the high half
  EXPECT_EQ(text->textAtOffset(pair + 1, QAccessible::CharBoundary, &start, &end),
            QStringLiteral("\U0001F600"));
  EXPECT_EQ(std::pair(start, end), std::pair(pair, pair + 2));
  text->setCursorPosition(pair + 1);
  EXPECT_EQ(text->cursorPosition(), pair);
}

TEST(TextViewPainting, EachLineShowsInItsColourAndTheSelectionInTheHighlight) {
  ShownView shown(40, 4);
  textview::TextView& view = shown.view;
  view.document().appendLine(QStringLiteral("RX:") + QString(37, u'8'), kGreen);
  view.document().appendLine(QStringLiteral("TX:") + QString(37, u'8'), kBlue);
  view.setCaret({1, 0});
  view.setCaret({1, 20}, true);
  const QImage image = view.viewport()->grab().toImage();
  auto countIn = [&](int screenRow, int fromCell, int toCell, const QColor& colour) {
    return CountIn(image, view, screenRow, fromCell, toCell, colour);
  };
  const QPalette palette = view.palette();
  EXPECT_GT(countIn(0, 0, 40, kGreen), 20);
  EXPECT_EQ(countIn(0, 0, 40, kBlue), 0);
  EXPECT_GT(countIn(1, 21, 40, kBlue), 20);
  EXPECT_EQ(countIn(1, 21, 40, palette.color(QPalette::Highlight)), 0);
  EXPECT_GT(countIn(1, 0, 20, palette.color(QPalette::Highlight)), 200);
  EXPECT_GT(countIn(1, 0, 20, palette.color(QPalette::HighlightedText)), 20);
  // The glyphs sit in their cells: nothing is drawn past the fortieth cell.
  EXPECT_EQ(countIn(0, 40, 42, kGreen), 0);
}

TEST(TextViewPainting, RowImagesHoldThePixelsQtDrawsOnAnOpaqueSurface) {
  // Hex, a character from a fallback font, a control picture and a character no font has.
  const QString sample = QStringLiteral("RX:01 02 FF ab 报文\x01 (12:00:00:000) ") +
                         QString::fromUcs4(U"\U0010FFFD", 1);
  textview::RowGlyphs glyphs;
  const QFontMetricsF metrics(TestFont());
  const qreal cellWidth = metrics.horizontalAdvance(u'0');
  glyphs.setFont(TestFont(), cellWidth);
  const int columns = static_cast<int>(sample.size()) + 2;
  const textview::LaidRow laid = glyphs.layRow(sample, LogGrid(columns), {0, sample.size()});
  const QSize size(static_cast<int>(std::ceil(columns * cellWidth)) + 8, 19);
  const QPointF pen(4, 15);
  const QColor colours[] = {kGreen, kBlue, Qt::black, Qt::white};
  const QColor backgrounds[] = {Qt::white, Qt::white, Qt::white, QColor(48, 140, 198)};
  for (const qreal ratio : {1.0, 1.25, 1.5, 1.75, 2.0}) {
    textview::GlyphMasks masks;
    masks.reset(glyphs, size.height(), pen.y(), ratio);
    textview::GlyphCoverage coverage;
    coverage.reset(size * ratio);
    for (const textview::PlacedGlyph& glyph : laid.glyphs) masks.add(coverage, glyph, pen.x());
    for (int i = 0; i < 4; ++i) {
      QImage direct(size * ratio, QImage::Format_RGB32);
      direct.setDevicePixelRatio(ratio);
      direct.fill(backgrounds[i]);
      {
        QPainter painter(&direct);
        painter.setPen(colours[i]);
        glyphs.draw(painter, pen, laid.glyphs);
      }
      textview::RowRaster raster;
      raster.setFont(TestFont());
      QImage row;
      raster.render(row, ratio, coverage, {colours[i], backgrounds[i]}, 0, 0, {});
      ASSERT_EQ(row.size(), direct.size());
      int worst = 0;
      int inked = 0;
      for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
          const QRgb a = direct.pixel(x, y);
          const QRgb b = row.pixel(x, y);
          inked += a != backgrounds[i].rgb() ? 1 : 0;
          worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                            std::abs(qBlue(a) - qBlue(b))});
        }
      }
      EXPECT_GT(inked, 200 * ratio * ratio) << "colour " << i << " ratio " << ratio;
      EXPECT_LE(worst, 2) << "colour " << i << " ratio " << ratio;
      // Coloured masks copied side by side give the coverage's very pixels; glyphs that
      // overlap are refused, since only their coverage blends them.
      QImage apart;
      const textview::RowRaster::Colours plain{colours[i], backgrounds[i]};
      if (raster.renderDirect(apart, ratio, size * ratio, masks, laid.glyphs, pen.x(), plain)) {
        EXPECT_TRUE(apart == row) << "colour " << i << " ratio " << ratio;
      }
      const textview::LaidRow hex = glyphs.layRow(sample, LogGrid(columns), {0, 14});
      textview::GlyphCoverage hexCoverage;
      hexCoverage.reset(size * ratio);
      for (const textview::PlacedGlyph& glyph : hex.glyphs) masks.add(hexCoverage, glyph, pen.x());
      raster.render(row, ratio, hexCoverage, plain, 0, 0, {});
      ASSERT_TRUE(
          raster.renderDirect(apart, ratio, size * ratio, masks, hex.glyphs, pen.x(), plain));
      EXPECT_TRUE(apart == row) << "hex, colour " << i << " ratio " << ratio;
      std::vector<textview::PlacedGlyph> overlapping = hex.glyphs;
      overlapping.push_back(hex.glyphs.front());
      EXPECT_FALSE(
          raster.renderDirect(apart, ratio, size * ratio, masks, overlapping, pen.x(), plain));
    }
  }
}

// Rows of ever new Chinese characters, far more than the masks may hold: the masks stay within
// their bound, and a row drawn again after they were forgotten has the same pixels.
TEST(TextViewPainting, GlyphMasksStayWithinTheirBoundAndDrawTheSameOnceForgotten) {
  textview::RowGlyphs glyphs;
  const qreal cellWidth = QFontMetricsF(TestFont()).horizontalAdvance(u'0');
  glyphs.setFont(TestFont(), cellWidth);
  constexpr int kCharacters = 40;
  const QSize size(static_cast<int>(std::ceil(2 * kCharacters * cellWidth)) + 8, 19);
  textview::GlyphMasks masks;
  masks.reset(glyphs, size.height(), 15, 1.0);
  textview::RowRaster raster;
  raster.setFont(TestFont());
  const textview::RowRaster::Colours colours{kGreen, Qt::white};
  auto rowOf = [&](int first) {
    QString text;
    for (int i = 0; i < kCharacters; ++i) text += QChar(0x4E00 + first + i);
    const textview::LaidRow laid =
        glyphs.layRow(text, LogGrid(2 * kCharacters), {0, static_cast<int>(text.size())});
    QImage image;
    EXPECT_TRUE(raster.renderDirect(image, 1.0, size, masks, laid.glyphs, 4, colours));
    return image;
  };
  const QImage firstRow = rowOf(0);
  size_t most = 0;
  bool forgotten = false;
  for (int first = kCharacters; first < 12000; first += kCharacters) {
    const size_t before = masks.heldBytes();
    rowOf(first);
    forgotten = forgotten || masks.heldBytes() < before;
    most = std::max(most, masks.heldBytes());
  }
  EXPECT_TRUE(forgotten);
  EXPECT_LE(most, textview::GlyphMasks::kMostHeldBytes + (size_t{1} << 20));
  EXPECT_TRUE(rowOf(0) == firstRow);
}

// A glyph of a colour font keeps its own colours, in a plain row as in a selected one; the rows
// around it show in their line colour as before.
TEST(TextViewPainting, AGlyphOfAColourFontShowsInItsOwnColours) {
  ShownView shown(20, 4);
  textview::TextView& view = shown.view;
  // A size of its own: Qt keeps the fallbacks of a font it has met by its first family and size.
  QFont font = TestFont();
  font.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Color Emoji")});
  font.setPixelSize(14);
  view.setFont(font);
  shown.resize(20, 4);
  view.document().appendLine(QStringLiteral("RX:\U0001F600 ok"), kGreen);
  view.document().appendLine(QStringLiteral("TX:ok"), kBlue);
  // Green over white keeps red and blue equal: a pixel where they differ has the glyph's colour.
  const auto ownColour = [](QColor pixel) { return std::abs(pixel.red() - pixel.blue()) > 60; };
  QImage image = view.viewport()->grab().toImage();
  EXPECT_GT(CountWhere(image, view, 0, 3, 5, ownColour), 20);
  EXPECT_GT(CountIn(image, view, 0, 6, 8, kGreen), 5);
  EXPECT_GT(CountIn(image, view, 1, 3, 5, kBlue), 5);
  view.setFocus();
  shown.key(Qt::Key_A, Qt::ControlModifier);
  image = view.viewport()->grab().toImage();
  const QColor highlight = view.palette().color(QPalette::Highlight);
  EXPECT_GT(CountIn(image, view, 0, 0, 8, highlight), 100);
  const auto notHighlight = [&](QColor pixel) {
    return std::abs(pixel.red() - highlight.red()) > 60 &&
           std::abs(pixel.red() - pixel.blue()) > 60;
  };
  EXPECT_GT(CountWhere(image, view, 0, 3, 5, notHighlight), 10);
}

// Where the font settings ask for subpixel text (this test run again with a fontconfig file that
// does), the view draws it as Qt draws a text edit's: in colour fringes, in the same places as the
// grey text it draws otherwise, with the selection in the highlight.
TEST(TextViewPainting, WhereTheFontSettingsAskForSubpixelTextTheViewDrawsIt) {
  QTemporaryDir settings;
  const QString file = settings.filePath(QStringLiteral("fonts.conf"));
  {
    QFile conf(file);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(R"(<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include>
<match target="font"><edit name="rgba" mode="assign"><const>rgb</const></edit></match>
</fontconfig>
)");
  }
  if (!InAChildRunWith("FONTCONFIG_FILE", {file})) return;
  const QString text = QStringLiteral("RX:01 02 FF ab 报文");
  QPlainTextEdit edit;
  edit.setFont(TestFont());
  edit.setPlainText(text);
  edit.resize(300, 60);
  const QImage editImage = edit.viewport()->grab().toImage();
  int editFringes = 0;
  for (int y = 0; y < editImage.height(); ++y)
    for (int x = 0; x < editImage.width(); ++x) editFringes += Tinted(editImage.pixelColor(x, y));
  ASSERT_GT(editFringes, 50) << "Qt draws no subpixel text here";

  ShownView shown(30, 4);
  textview::TextView& view = shown.view;
  view.document().appendLine(text, Qt::black);
  view.document().appendLine(text, Qt::black);
  shown.click(shown.cellPoint(1, 0));
  shown.click(shown.cellPoint(1, 5), Qt::ShiftModifier);
  const QImage image = view.viewport()->grab().toImage();
  EXPECT_GT(CountWhere(image, view, 0, 0, 30, Tinted), editFringes / 2);
  const QColor highlight = view.palette().color(QPalette::Highlight);
  EXPECT_GT(CountIn(image, view, 1, 0, 5, highlight), 100);
  EXPECT_EQ(CountIn(image, view, 1, 6, 30, highlight), 0);

  // The same row drawn grey, from the view's own masks, inks the same pixel columns.
  QFont grey = TestFont();
  grey.setStyleStrategy(QFont::StyleStrategy(grey.styleStrategy() | QFont::NoSubpixelAntialias));
  view.setFont(grey);
  const QImage greyImage = view.viewport()->grab().toImage();
  EXPECT_EQ(CountWhere(greyImage, view, 0, 0, 30, Tinted), 0);
  const auto inkedColumns = [&](const QImage& drawn) {
    QList<int> columns;
    for (int x = 0; x < drawn.width(); ++x) {
      for (int y = kMargin; y < kMargin + view.rowHeight(); ++y) {
        if (drawn.pixelColor(x, y) != view.palette().color(QPalette::Base)) {
          columns.push_back(x);
          break;
        }
      }
    }
    return columns;
  };
  EXPECT_EQ(inkedColumns(image).front(), inkedColumns(greyImage).front());
  EXPECT_NEAR(inkedColumns(image).back(), inkedColumns(greyImage).back(), 1);
}

// A row in two colour pairs the raster has not met yet: the second pair's table is added while
// the first is held, however the tables grow.
TEST(TextViewPainting, ARowInTwoNewColourPairsTakesBothWhileTheTablesGrow) {
  textview::RowRaster raster;
  raster.setFont(TestFont());
  textview::GlyphCoverage blank;
  blank.reset(QSize(20, 4));
  QImage row;
  for (int i = 0; i < 200; ++i) {
    const textview::RowRaster::Colours plain{QColor(i, 0, 0), QColor(255, 255, i)};
    const textview::RowRaster::Colours band{QColor(0, i, 0), QColor(i, 255, 255)};
    raster.render(row, 1.0, blank, plain, 10, 20, band);
    ASSERT_EQ(row.pixel(0, 0), plain.background.rgb()) << i;
    ASSERT_EQ(row.pixel(15, 3), band.background.rgb()) << i;
  }
}

// What the window shows of the view's scroll bar against the bar painted whole, as it is now,
// and that against a plain scroll bar in the same state.
bool ScrollBarShowsItsState(textview::TextView& view) {
  QTest::qWait(150);
  QScrollBar* bar = view.verticalScrollBar();
  const QImage window = view.screen()->grabWindow(view.winId()).toImage();
  const QImage drawn = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QPoint at = bar->mapTo(&view, QPoint(0, 0));
  QScrollBar plain(Qt::Vertical);
  plain.setStyle(bar->style());
  plain.resize(bar->size());
  plain.setRange(bar->minimum(), bar->maximum());
  plain.setPageStep(bar->pageStep());
  plain.setValue(bar->value());
  return window.copy(QRect(at, drawn.size())).convertToFormat(QImage::Format_RGB32) == drawn &&
         plain.grab().toImage().convertToFormat(QImage::Format_RGB32) == drawn;
}

TEST(TextViewPainting, TheScrollBarShowsWhereTheViewIsWhileTheLogGrowsAndScrolls) {
  ShownView shown(30, 8);
  textview::TextView& view = shown.view;
  QScrollBar* bar = view.verticalScrollBar();
  const auto barShowsItsState = [&] { return ScrollBarShowsItsState(view); };
  for (int i = 0; i < 200; ++i) {
    view.document().appendLine(QString(20 + i % 50, u'5'), kGreen);
    view.verticalScrollBar()->setValue(bar->maximum());
    if (i % 7 == 0) QCoreApplication::processEvents();
  }
  EXPECT_TRUE(barShowsItsState()) << "after a stream";
  bar->setValue(bar->maximum() / 3);
  EXPECT_TRUE(barShowsItsState()) << "scrolled back";
  bar->setValue(0);
  EXPECT_TRUE(barShowsItsState()) << "at the top";
  view.clear();
  view.document().appendLine(QString(400, u'7'), kBlue);
  EXPECT_TRUE(barShowsItsState()) << "after a clear";
  // Another style draws the same states anew, not from what the first one drew.
  const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  ASSERT_NE(windows, nullptr);
  bar->setStyle(windows.get());
  EXPECT_TRUE(barShowsItsState()) << "in another style";
  for (int i = 0; i < 60; ++i) view.document().appendLine(QString(30, u'8'), kGreen);
  bar->setValue(bar->maximum() / 2);
  EXPECT_TRUE(barShowsItsState()) << "in another style, grown and scrolled";
  bar->setValue(bar->maximum() / 2 + 3);
  EXPECT_TRUE(barShowsItsState()) << "in another style, scrolled a little";
  bar->setStyle(nullptr);
}

// A style that marks the middle of the slider: its rows differ with the slider's length, so
// the bar cannot be drawn (or repainted) from the rows around the slider's ends alone.
class GripStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control != CC_ScrollBar) return;
    const QRect slider = subControlRect(control, option, SC_ScrollBarSlider, widget);
    painter->fillRect(slider.left(), slider.center().y() - 1, slider.width(), 3, Qt::red);
  }
};

TEST(TextViewPainting, TheScrollBarShowsItsStateWhileATallLogGrows) {
  // In a view this tall the slider is longer than the rows around its ends: a new look is
  // those rows drawn anew, and a repaint paints only them, unless the style's slider differs
  // along its length.
  for (const bool marked : {false, true}) {
    ShownView shown(30, 30);
    textview::TextView& view = shown.view;
    GripStyle grip(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    view.verticalScrollBar()->setStyle(marked ? &grip : fusion.get());
    for (int i = 0; i < 80; ++i) {
      view.document().appendLine(QString(25, u'5'), kGreen);
      view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
      QCoreApplication::processEvents();
      if (i % 20 == 19) {
        EXPECT_TRUE(ScrollBarShowsItsState(view)) << "after line " << i << ", marked " << marked;
      }
    }
    view.verticalScrollBar()->setStyle(nullptr);
  }
}

// The window's device pixels as its backing store holds them, once every paint is done.
QImage WindowPixels(textview::TextView& view) {
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  // Read from the backing store itself: at a fractional ratio the offscreen screen's grab crops
  // the window to its logical size.
  QPaintDevice* pixels = view.backingStore()->paintDevice();
  return pixels->devType() == QInternal::Image ? static_cast<QImage*>(pixels)->copy() : QImage();
}

// At a fractional device pixel ratio (this test program run again with QT_SCALE_FACTOR set)
// each row starts on the device pixel nearest to its logical top and shows the same pixels as
// any other row of the same text there, no pixel row between rows is left in the background, and
// the view scrolled by a row, by a few rows or by a page shows what a fresh paint shows.
TEST(TextViewPainting, AtFractionalPixelRatiosRowsTileTheDeviceAndScrollingLeavesNoStalePixels) {
  if (!InAChildRunWith("QT_SCALE_FACTOR", {"1.25", "1.5", "1.75"})) return;
  const qreal ratio = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
  constexpr int kColumns = 30;
  constexpr int kRows = 8;
  ShownView shown(kColumns, kRows);
  textview::TextView& view = shown.view;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_DOUBLE_EQ(view.viewport()->devicePixelRatioF(), ratio);
  for (int i = 0; i < 60; ++i)
    view.document().appendLine(QString(kColumns, u'8'), i % 2 == 0 ? kGreen : kBlue);
  view.selectAll();  // every row on the highlight, in the same colours

  const QPoint origin = view.viewport()->mapTo(view.window(), QPoint(0, 0));
  const auto deviceY = [&](int y) { return qRound((origin.y() + y) * ratio); };
  const int left = qRound((origin.x() + kMargin) * ratio) + 1;
  const int right = qRound((origin.x() + kMargin + kColumns * view.cellWidth()) * ratio) - 1;
  const int rowPixels = static_cast<int>(view.rowHeight() * ratio);  // every row has as many
  const QImage window = WindowPixels(view);
  const QImage firstRow = window.copy(QRect(left, deviceY(kMargin), right - left, rowPixels));
  for (int row = 1; row < kRows; ++row) {
    const int top = deviceY(kMargin + row * view.rowHeight());
    EXPECT_TRUE(window.copy(QRect(left, top, right - left, rowPixels)) == firstRow)
        << "row " << row;
  }
  // A pixel row between rows would be the background's: every pixel row of a row shows the
  // highlight between its glyphs.
  const QColor highlight = view.palette().color(QPalette::Highlight);
  for (int y = deviceY(kMargin); y < deviceY(kMargin + kRows * view.rowHeight()); ++y) {
    int highlighted = 0;
    for (int x = left; x < right; ++x) highlighted += window.pixelColor(x, y) == highlight ? 1 : 0;
    EXPECT_GT(highlighted, 0) << "device pixel row " << y;
  }

  // Lines of their own texts, so that a pixel left from before a scroll shows.
  view.clear();
  for (int i = 0; i < 200; ++i) {
    view.document().appendLine(QStringLiteral("RX:%1 ").arg(i).repeated(1 + i % 6),
                               i % 2 == 0 ? kGreen : kBlue);
  }
  view.setCaret({5, 2});
  view.setCaret({9, 4}, true);
  QScrollBar* bar = view.verticalScrollBar();
  bar->setValue(0);
  WindowPixels(view);
  for (const int step : {1, 2, 4, 3, kRows, -1, -2, -4, -kRows, 8 * kRows}) {
    bar->setValue(bar->value() + step);
    const QImage scrolled = WindowPixels(view);
    view.viewport()->update();
    EXPECT_TRUE(WindowPixels(view) == scrolled) << "scrolled by " << step << " rows";
  }
}
