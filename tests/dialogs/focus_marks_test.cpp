// The dialogs as a keyboard user meets them: Tab walks from control to control, and each one
// it reaches must look different with the focus from how it looks without.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHash>
#include <QImage>
#include <QTest>
#include <QToolButton>

#include "dialogs/about.h"
#include "dialogs/comset.h"
#include "dialogs/define_send.h"
#include "support/fake_prompts.h"
#include "support/temp_dir.h"

namespace {

class NoMainWindow final : public dialogs::ChannelCommands {
 public:
  void ShowChannelState(store::ChannelKind, bool) override {}
  void SetStyle(store::ChannelKind) override {}
  void BtnOpenComClick() override {}
};

struct TabWalk {
  QStringList reached;   // the controls Tab gave the focus to, in order
  QStringList unmarked;  // those that looked the same as without the focus
};

TabWalk pressTab(QDialog& dialog, int presses) {
  TabWalk walk;
  dialog.show();
  dialog.activateWindow();
  if (!QTest::qWaitForWindowActive(&dialog)) return walk;
  if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
  QHash<QWidget*, QImage> withoutFocus;
  for (QWidget* control : dialog.findChildren<QWidget*>()) {
    if (control->isVisible()) withoutFocus.insert(control, control->grab().toImage());
  }
  for (int i = 0; i < presses; ++i) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : &dialog, Qt::Key_Tab);
    focus = QApplication::focusWidget();
    if (!focus) {
      walk.unmarked.append(QStringLiteral("(no control)"));
      continue;
    }
    walk.reached.append(focus->objectName());
    if (focus->grab().toImage() == withoutFocus.value(focus)) {
      walk.unmarked.append(focus->objectName());
    }
  }
  return walk;
}

std::string names(const QStringList& list) { return list.join(u' ').toStdString(); }

class FocusMarks : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  store::AppFiles files{dir.path()};
  testing_support::FakePrompts prompts;
};

TEST_F(FocusMarks, EveryControlOfTheSettingsDialogShowsTheFocusWhenTabReachesIt) {
  NoMainWindow main;
  dialogs::TfrmComSet dialog(nullptr, main, prompts, files, "/nonexistent-sysfs");
  const TabWalk walk = pressTab(dialog, 12);
  EXPECT_EQ(names(walk.reached),
            "BtnSend BtnSel chkOpen RbtnCom cmbSend cmbRecive cmbTextCodec Com_Port Com_baudrate "
            "Com_Parity com_ByteSize Com_StopBits");
  EXPECT_EQ(names(walk.unmarked), "");
}

TEST_F(FocusMarks, TheEditorsToolbarShowsTheFocusAndEveryPictureAtOneSize) {
  dialogs::TfrmDefineSend dialog(nullptr, prompts, files);
  for (const QToolButton* button : dialog.findChildren<QToolButton*>()) {
    EXPECT_EQ(button->icon().actualSize(button->iconSize()), QSize(32, 32))
        << button->objectName().toStdString();
  }
  const TabWalk walk = pressTab(dialog, 9);
  EXPECT_EQ(names(walk.reached),
            "BtnNew BtnOpen BtnAdd BtnDel BtnRefresh BtnSave BtnSavaAs BtnBack GrdSend");
  EXPECT_EQ(names(walk.unmarked), "");
}

TEST_F(FocusMarks, TheAboutBoxsButtonShowsTheFocusWhenTabReachesIt) {
  testing_support::FakeShell shell;
  dialogs::MachineFacts facts;
  facts.cpuMhz = [] { return std::optional<double>(1000); };
  dialogs::TAboutfrm box(nullptr, shell, prompts, facts);
  const TabWalk walk = pressTab(box, 1);
  EXPECT_EQ(names(walk.reached), "btnClose");
  EXPECT_EQ(names(walk.unmarked), "");
}

}  // namespace
