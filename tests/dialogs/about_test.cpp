#include "dialogs/about.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cerrno>

#include "dialogs/about_text.h"
#include "support/fake_prompts.h"

namespace {

using testing_support::FakePrompts;
using testing_support::FakeShell;

TEST(MemoryText, ShowsOneGibibyteAsKilobytesGroupedInThrees) {
  EXPECT_EQ(dialogs::MemoryText(1ull << 30, QLocale(QLocale::English)),
            QStringLiteral("1,048,576 KB"));
  EXPECT_EQ(dialogs::MemoryText(1ull << 30, QLocale(QLocale::German)),
            QStringLiteral("1.048.576 KB"));
}

TEST(MemoryText, GroupsEvenInTheCLocaleAndRoundsDownToWholeKilobytes) {
  EXPECT_EQ(dialogs::MemoryText(1024 * 999 + 1023, QLocale::c()), QStringLiteral("999 KB"));
  EXPECT_EQ(dialogs::MemoryText(1024 * 1000, QLocale::c()), QStringLiteral("1,000 KB"));
}

TEST(MemoryText, ShowsMemoryBeyondFourGibibytesUncapped) {
  EXPECT_EQ(dialogs::MemoryText(16ull << 30, QLocale(QLocale::English)),
            QStringLiteral("16,777,216 KB"));
}

TEST(FrequencyText, ShowsTicksPerMicrosecondWithTwoDecimals) {
  const double ticks = 239'446'123;  // over 100 ms
  EXPECT_EQ(dialogs::FrequencyText(ticks / 100000), QStringLiteral("2394.46 MHz"));
  EXPECT_EQ(dialogs::FrequencyText(0), QStringLiteral("0.00 MHz"));
}

TEST(SystemText, ShowsTheBuildAndTheDistributionWhenKnown) {
  platform::SystemVersion version{QStringLiteral("Linux"), 6, 1, 0,
                                  QStringLiteral("Debian GNU/Linux 12 (bookworm)")};
  EXPECT_EQ(dialogs::SystemText(version),
            QStringLiteral("Linux 6.1 (Build 0: Debian GNU/Linux 12 (bookworm))"));
  version.detail.clear();
  version.build = 153;
  EXPECT_EQ(dialogs::SystemText(version), QStringLiteral("Linux 6.1 (Build 153)"));
}

class AboutBox : public ::testing::Test {
 protected:
  static QLabel& label(const QDialog& box, const char* name) {
    QLabel* found = box.findChild<QLabel*>(QString::fromLatin1(name));
    if (!found) throw std::logic_error(name);
    return *found;
  }
  // Known facts instead of the machine's: the frequency, 1 GiB and a kernel version.
  static dialogs::MachineFacts knownFacts() {
    dialogs::MachineFacts facts;
    facts.cpuMhz = [] { return std::optional<double>(2394.4612); };
    facts.physicalMemoryBytes = [] { return std::uint64_t{1} << 30; };
    facts.systemVersion = [] {
      return platform::SystemVersion{QStringLiteral("Linux"), 6, 1, 0, QString()};
    };
    return facts;
  }
  static platform::SystemError unreadable() { return platform::errorFromCode(EIO); }
  // The notice a fact that cannot be had brings: a plain box under "提示" with an OK button.
  void expectOneNotice() const {
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].icon, widgets::PromptIcon::None);
    EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("某些信息不能取得"));
    EXPECT_EQ(prompts.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }
  FakeShell shell;
  FakePrompts prompts;
};

TEST_F(AboutBox, ShowsTheProductAndTheMachineFacts) {
  dialogs::TAboutfrm box(nullptr, shell, prompts);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("关于[OruvoTarvix通讯调试软件]"));
  EXPECT_EQ(label(box, "ProductName").text(), QStringLiteral("软件名称：OruvoTarvix通讯调试软件"));
  EXPECT_EQ(label(box, "Version").text(), QStringLiteral("版 本：2.0"));
  EXPECT_TRUE(label(box, "lblOs").text().startsWith(QStringLiteral("操作系统：Linux ")));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^可用内存：[\\d,.  ]+ KB$"))
                  .match(label(box, "lblMemory").text())
                  .hasMatch())
      << label(box, "lblMemory").text().toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^CPU频率：\\d+\\.\\d\\d MHz$"))
                  .match(label(box, "lableCpu").text())
                  .hasMatch());
  EXPECT_FALSE(label(box, "ProgramIcon").pixmap().isNull());
  EXPECT_TRUE(prompts.boxes.isEmpty());

  box.show();
  box.findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
  EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutBox, OpensTheLinksWithTheDefaultHandlerAndHighlightsThemOnHover) {
  dialogs::TAboutfrm box(nullptr, shell, prompts);
  box.show();
  QLabel& web = label(box, "lblweb");
  QLabel& mail = label(box, "lblmail");

  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(&web, &enter);
  EXPECT_EQ(web.palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(web.font().underline());
  EXPECT_TRUE(web.font().bold());
  EXPECT_EQ(web.cursor().shape(), Qt::PointingHandCursor);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&web, &leave);
  EXPECT_EQ(web.palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_FALSE(web.font().underline());
  EXPECT_FALSE(web.font().bold());

  QTest::mouseClick(&web, Qt::LeftButton);
  QTest::mouseClick(&mail, Qt::RightButton);
  EXPECT_EQ(shell.opened,
            (QStringList{dialogs::kAboutWebAddress, "mailto:" + dialogs::kAboutMailAddress}));
}

TEST_F(AboutBox, ShowsTheKnownFactsWithoutANotice) {
  dialogs::TAboutfrm box(nullptr, shell, prompts, knownFacts());
  EXPECT_EQ(label(box, "lableCpu").text(), QStringLiteral("CPU频率：2394.46 MHz"));
  EXPECT_EQ(label(box, "lblMemory").text(),
            QStringLiteral("可用内存：") + dialogs::MemoryText(std::uint64_t{1} << 30));
  EXPECT_EQ(label(box, "lblOs").text(), QStringLiteral("操作系统：Linux 6.1 (Build 0)"));
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(AboutBox, MemoryThatCannotBeHadBringsOneNoticeAndTheBoxStillOpens) {
  dialogs::MachineFacts facts = knownFacts();
  facts.physicalMemoryBytes = [] { return unreadable(); };
  dialogs::TAboutfrm box(nullptr, shell, prompts, std::move(facts));
  expectOneNotice();
  // What came before the failing fact is filled in, the rest keeps its text at creation.
  EXPECT_EQ(label(box, "lableCpu").text(), QStringLiteral("CPU频率：2394.46 MHz"));
  EXPECT_EQ(box.windowTitle(), QStringLiteral("关于[OruvoTarvix通讯调试软件]"));
  EXPECT_EQ(label(box, "ProductName").text(), QStringLiteral("软件名称：OruvoTarvix通讯调试软件"));
  EXPECT_EQ(label(box, "Version").text(), QStringLiteral("版 本：2.0"));
  EXPECT_FALSE(label(box, "ProgramIcon").pixmap().isNull());
  EXPECT_EQ(label(box, "lblMemory").text(), QStringLiteral("可用内存："));
  EXPECT_EQ(label(box, "lblOs").text(), QStringLiteral("操作系统："));

  box.show();
  EXPECT_TRUE(box.isVisible());
  box.findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(prompts.boxes.size(), 1);
}

TEST_F(AboutBox, ASystemVersionThatCannotBeHadBringsOneNoticeAfterTheMemoryIsShown) {
  dialogs::MachineFacts facts = knownFacts();
  facts.systemVersion = [] { return unreadable(); };
  dialogs::TAboutfrm box(nullptr, shell, prompts, std::move(facts));
  expectOneNotice();
  EXPECT_EQ(label(box, "lblMemory").text(),
            QStringLiteral("可用内存：") + dialogs::MemoryText(std::uint64_t{1} << 30));
  EXPECT_EQ(label(box, "lblOs").text(), QStringLiteral("操作系统："));
  EXPECT_EQ(label(box, "lableCpu").text(), QStringLiteral("CPU频率：2394.46 MHz"));
}

TEST_F(AboutBox, AFrequencyThatCannotBeMeasuredShowsZeroWithoutANotice) {
  dialogs::MachineFacts facts = knownFacts();
  facts.cpuMhz = [] { return std::optional<double>(); };
  dialogs::TAboutfrm box(nullptr, shell, prompts, std::move(facts));
  EXPECT_EQ(label(box, "lableCpu").text(), QStringLiteral("CPU频率：0.00 MHz"));
  EXPECT_EQ(label(box, "lblOs").text(), QStringLiteral("操作系统：Linux 6.1 (Build 0)"));
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

}  // namespace
