// The main window's settings, tools and help commands, chosen from its menus.
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/about.h"
#include "dialogs/ascii_table.h"
#include "dialogs/comset.h"
#include "main_window_fixture.h"

namespace {

class ToolCommandsTest : public MainWindowTest {
 protected:
  static QList<dialogs::TfrmASC*> asciiTables() {
    QList<dialogs::TfrmASC*> tables;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* table = qobject_cast<dialogs::TfrmASC*>(w)) tables.append(table);
    }
    return tables;
  }
};

TEST_F(ToolCommandsTest, PortSettingsOpensTheSettingsDialogForThisWindow) {
  start();
  prompts.buttonAnswers.push_back(QMessageBox::No);  // not opened at once
  QPointer<dialogs::TfrmComSet> shown;
  const auto confirmTcpClient = [&](dialogs::TfrmComSet& dialog) {
    shown = &dialog;
    EXPECT_EQ(dialog.parentWidget(), window.get());
    dialog.findChild<QRadioButton*>("RbtnTcpc")->click();
    dialog.findChild<QPushButton*>("BtnSend")->click();
  };
  ASSERT_TRUE(
      answerModal<dialogs::TfrmComSet>([&] { ui().btnPortSet->trigger(); }, confirmTcpClient));
  EXPECT_TRUE(shown.isNull());  // destroyed when it closed
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, "端口设置成功！是否立即打开端口？");
  // The confirm went to this window: it now shows the client kind, closed.
  EXPECT_EQ(window->Style(), store::ChannelKind::TcpClient);
  EXPECT_FALSE(window->Opened());
  EXPECT_EQ(panel(4), "以太网Tcp/ip方式　客户端");
  EXPECT_EQ(comset().readInteger("ComSet", "Style", -1), 2);
}

TEST_F(ToolCommandsTest, AsciiTableChosenTwiceIsOneWindowBroughtToTheFront) {
  start();
  ui().ASCIIA1->trigger();
  ASSERT_EQ(asciiTables().size(), 1);
  dialogs::TfrmASC* table = asciiTables().first();
  EXPECT_TRUE(table->isVisible());
  EXPECT_TRUE(QTest::qWaitForWindowActive(table));

  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ui().ASCIIA1->trigger();
  EXPECT_EQ(asciiTables(), QList<dialogs::TfrmASC*>{table});
  EXPECT_TRUE(QTest::qWaitForWindowActive(table));

  table->close();  // hidden, not destroyed: the next choice shows the same window
  EXPECT_FALSE(table->isVisible());
  ui().ASCIIA1->trigger();
  EXPECT_EQ(asciiTables(), QList<dialogs::TfrmASC*>{table});
  EXPECT_TRUE(table->isVisible());
}

TEST_F(ToolCommandsTest, CalculatorStartsTheFirstInstalledCalculatorEachTime) {
  start();
  ui().J2->trigger();
  ui().J2->trigger();
  const QStringList calculators = dialogs::CalculatorPrograms();
  EXPECT_EQ(shell.started, (QList<QStringList>{calculators, calculators}));
  EXPECT_TRUE(prompts.boxes.isEmpty());  // none installed: nothing happens, nothing is said
}

TEST_F(ToolCommandsTest, HelpFileIsOpenedFromTheWorkingDirectoryElseFromBesideTheExecutable) {
  testing_support::TempDir work;
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(work.path()));
  start();
  ui().N1->trigger();
  testing_support::WriteAll(work.file("Tarvixhlp.chm"), "ITSF");
  ui().N1->trigger();
  QDir::setCurrent(before);
  EXPECT_EQ(shell.opened, (QStringList{files.shippedFile("Tarvixhlp.chm"), "Tarvixhlp.chm"}));
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(ToolCommandsTest, AboutOpensTheAboutBox) {
  start();
  const auto closeBox = [&](dialogs::TAboutfrm& box) {
    EXPECT_EQ(box.windowTitle(), "关于[OruvoTarvix通讯调试软件]");
    EXPECT_EQ(box.parentWidget(), window.get());
    box.findChild<QPushButton*>("btnClose")->click();
  };
  ASSERT_TRUE(answerModal<dialogs::TAboutfrm>([&] { ui().BtnAbout->trigger(); }, closeBox));
}

}  // namespace
