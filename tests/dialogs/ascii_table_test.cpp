#include "dialogs/ascii_table.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "store/ini_file.h"
#include "support/fake_prompts.h"
#include "support/temp_dir.h"

namespace {

using testing_support::FakePrompts;
using testing_support::TempDir;

TEST(AsciiTableLines, HasAHeaderAndOneLinePerCodeWithControlNames) {
  const QStringList lines = dialogs::AsciiTableLines();
  ASSERT_EQ(lines.size(), 129);
  EXPECT_EQ(lines[0], QStringLiteral("DEC\tHEX\tCHAR\tCODE"));
  EXPECT_EQ(lines[1 + 0], QStringLiteral("0\t00\t\tNUL"));
  EXPECT_EQ(lines[1 + 10], QStringLiteral("10\t0A\t\tLF"));
  EXPECT_EQ(lines[1 + 17], QStringLiteral("17\t11\t\tDC1"));
  EXPECT_EQ(lines[1 + 19], QStringLiteral("19\t13\t\tDC3"));
  EXPECT_EQ(lines[1 + 31], QStringLiteral("31\t1F\t\tUS"));
  EXPECT_EQ(lines[1 + 32], QStringLiteral("32\t20\t\tSPACE"));
  EXPECT_EQ(lines[1 + 65], QStringLiteral("65\t41\tA"));
  EXPECT_EQ(lines[1 + 126], QStringLiteral("126\t7E\t~"));
  EXPECT_EQ(lines[1 + 127], QStringLiteral("127\t7F\t\tDEL"));
}

TEST(AsciiTableLines, ListsEveryCodeInOrderAsDecimalAndUpperCaseHex) {
  const QStringList lines = dialogs::AsciiTableLines();
  for (int code = 0; code < 128; ++code) {
    const QStringList columns = lines[1 + code].split(u'\t');
    ASSERT_GE(columns.size(), 3) << code;
    EXPECT_EQ(columns[0].toInt(), code);
    EXPECT_EQ(columns[1], QString::number(code, 16).rightJustified(2, u'0').toUpper());
    const bool printable = code > 32 && code < 127;
    EXPECT_EQ(columns.size(), printable ? 3 : 4) << code;
    EXPECT_EQ(columns[2], printable ? QString(QChar(code)) : QString()) << code;
  }
}

TEST(AsciiTableWindow, ShowsTheTableReadOnlyAndIsHiddenWithItsSizeStoredOnClose) {
  TempDir dir;
  const store::AppFiles files{dir.path()};
  FakePrompts prompts;
  dialogs::TfrmASC window(files, prompts);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("ASCII表"));
  const auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo2"));
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->toPlainText().split(u'\n'), dialogs::AsciiTableLines());

  window.show();
  window.resize(600, 400);
  const QSize outer = window.frameGeometry().size();
  ASSERT_NE(outer, window.size()) << "the platform reports a frame";
  window.close();
  EXPECT_FALSE(window.isVisible());
  const store::IniFile sizes(files.formSizeIni());
  EXPECT_EQ(sizes.readInteger("frmASC", "width", 0), outer.width());
  EXPECT_EQ(sizes.readInteger("frmASC", "height", 0), outer.height());
  EXPECT_TRUE(prompts.boxes.isEmpty());

  // The same window comes back; a new one, sized before its frame is known, opens at the
  // stored outer size, so it does not grow by its frame from one run to the next.
  window.show();
  EXPECT_TRUE(window.isVisible());
  dialogs::TfrmASC second(files, prompts);
  second.show();
  EXPECT_EQ(second.frameGeometry().size(), outer);
  EXPECT_EQ(second.size(), QSize(600, 400));
}

// The program ends when its main window closes, even with the table still open.
TEST(AsciiTableWindow, DoesNotKeepTheProgramRunningAfterTheMainWindowCloses) {
  TempDir dir;
  const store::AppFiles files{dir.path()};
  FakePrompts prompts;
  QWidget mainWindow;
  dialogs::TfrmASC table(files, prompts);
  mainWindow.show();
  table.show();
  bool stillRunning = false;
  QTimer::singleShot(0, &mainWindow, &QWidget::close);
  QTimer::singleShot(2000, &table, [&] {
    stillRunning = true;
    QCoreApplication::quit();
  });
  QApplication::setQuitOnLastWindowClosed(true);
  QApplication::exec();
  EXPECT_FALSE(stillRunning);
}

TEST(CalculatorPrograms, NamesTheUsualLinuxCalculatorsOnce) {
  QStringList programs = dialogs::CalculatorPrograms();
  EXPECT_TRUE(programs.contains(QStringLiteral("gnome-calculator")));
  EXPECT_TRUE(programs.contains(QStringLiteral("kcalc")));
  EXPECT_EQ(programs.removeDuplicates(), 0);
}

}  // namespace
