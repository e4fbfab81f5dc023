#include "dialogs/comset.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <stdexcept>

#include "store/ini_file.h"
#include "support/fake_prompts.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "widgets/integer_spin_edit.h"

namespace {

using testing_support::FakePrompts;
using testing_support::ReadAll;
using testing_support::TempDir;
using testing_support::WriteAll;

// Records the main window's side of the dialog, and what comset.ini held at each call.
class FakeMainWindow final : public dialogs::ChannelCommands {
 public:
  explicit FakeMainWindow(QString iniPath) : ini_(std::move(iniPath)) {}

  QStringList calls;
  QString ipAtRefresh;
  QString ipAtOpen;
  bool openThrows = false;

  void ShowChannelState(store::ChannelKind style, bool opened) override {
    calls.append(
        QStringLiteral("ShowChannelState(%1,%2)").arg(static_cast<int>(style)).arg(opened));
    ipAtRefresh = ini_.readString("ComSet", "IP", "<none>");
  }
  void SetStyle(store::ChannelKind style) override {
    calls.append(QStringLiteral("SetStyle(%1)").arg(static_cast<int>(style)));
  }
  void BtnOpenComClick() override {
    calls.append(QStringLiteral("BtnOpenComClick"));
    ipAtOpen = ini_.readString("ComSet", "IP", "<none>");
    if (openThrows) throw std::runtime_error("Error opening serial port");
  }

 private:
  store::IniFile ini_;
};

class ComSetDialog : public ::testing::Test {
 protected:
  ComSetDialog() : files{dir.path()}, main(files.comsetIni()) {}

  std::unique_ptr<dialogs::TfrmComSet> open(const QString& sysfsRoot = "/nonexistent-sysfs",
                                            const QString& devRoot = "/nonexistent-dev") {
    auto dialog =
        std::make_unique<dialogs::TfrmComSet>(nullptr, main, prompts, files, sysfsRoot, devRoot);
    dialog->show();
    return dialog;
  }
  template <class T>
  static T& control(const QDialog& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::logic_error(name);
    return *found;
  }
  static void click(const QDialog& dialog, const char* button) {
    control<QPushButton>(dialog, button).click();
  }
  static QString page(const QDialog& dialog) {
    return control<QStackedWidget>(dialog, "Notebook1").currentWidget()->objectName();
  }
  store::IniFile ini() const { return store::IniFile(files.comsetIni()); }

  TempDir dir;
  store::AppFiles files;
  FakeMainWindow main;
  FakePrompts prompts;
};

TEST_F(ComSetDialog, ShowsTheDefaultsWhenThereIsNoComsetIni) {
  const auto dialog = open();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("通讯参数设置"));
  EXPECT_TRUE(control<QRadioButton>(*dialog, "RbtnCom").isChecked());
  EXPECT_EQ(page(*dialog), QStringLiteral("com"));
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_Port").currentText(), QStringLiteral("COM1"));
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_baudrate").currentText(), QStringLiteral("9600"));
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_Parity").currentText(), QStringLiteral("无"));
  EXPECT_EQ(control<QComboBox>(*dialog, "com_ByteSize").currentText(), QStringLiteral("8"));
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_StopBits").currentText(), QStringLiteral("1"));
  EXPECT_EQ(control<widgets::IntegerSpinEdit>(*dialog, "txtSPort").value(), 1000);
  EXPECT_EQ(control<QLineEdit>(*dialog, "txtIP").text(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(control<widgets::IntegerSpinEdit>(*dialog, "txtCport").value(), 1000);
  EXPECT_EQ(control<QComboBox>(*dialog, "cmbSend").currentText(), QStringLiteral("HEX"));
  EXPECT_EQ(control<QComboBox>(*dialog, "cmbRecive").currentText(), QStringLiteral("HEX"));
  EXPECT_FALSE(control<QCheckBox>(*dialog, "chkOpen").isChecked());
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_Port").count(), 0);
  EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(ComSetDialog, OffersThePortsWithWhatTheSystemSaysOfThemAndStoresTheNameChosen) {
  TempDir sysfs;
  TempDir dev;
  // A USB device whose interface is the tty's device, below a root hub with strings of its own.
  const QString hub = sysfs.file("devices/usb1");
  const QString adapter = hub + "/1-2";
  QDir().mkpath(adapter + "/1-2:1.0");
  for (const QString& device : {hub, adapter}) WriteAll(device + "/idVendor", "0483\n");
  WriteAll(hub + "/product", "xHCI Host Controller\n");
  WriteAll(adapter + "/product", "STM32 Virtual ComPort\n");
  WriteAll(adapter + "/manufacturer", "STMicroelectronics\n");
  QDir().mkpath(sysfs.file("class/tty/ttyACM0"));
  QFile::link(adapter + "/1-2:1.0", sysfs.file("class/tty/ttyACM0/device"));
  QDir().mkpath(sysfs.file("class/tty/ttyS0/device"));
  WriteAll(sysfs.file("class/tty/ttyS0/type"), "4\n");
  QDir().mkpath(sysfs.file("class/tty/tty1"));
  QDir().mkpath(dev.file("serial/by-id"));
  const QString byId = dev.file("serial/by-id/usb-STMicroelectronics_STM32_VCP-if00");
  QFile::link("../../ttyACM0", byId);
  ini().writeString("ComSet", "port", "ttyS0");

  const auto dialog = open(sysfs.path(), dev.path());
  QComboBox& ports = control<QComboBox>(*dialog, "Com_Port");
  EXPECT_EQ(ports.currentText(), QStringLiteral("ttyS0")) << "a stored name reads as before";
  ASSERT_EQ(ports.count(), 3);
  const auto shown = [&](int row) { return ports.model()->index(row, 0).data().toString(); };
  EXPECT_EQ(shown(0), dev.file("ttyACM0") + " — STMicroelectronics STM32 Virtual ComPort");
  EXPECT_EQ(shown(1), byId + " — STMicroelectronics STM32 Virtual ComPort");
  EXPECT_EQ(shown(2), dev.file("ttyS0"));

  ports.showPopup();
  QAbstractItemView& list = *ports.view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list.window()));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                    list.visualRect(ports.model()->index(1, 0)).center());
  EXPECT_EQ(ports.currentText(), byId);
  prompts.buttonAnswers = {QMessageBox::No};
  click(*dialog, "BtnSend");
  EXPECT_EQ(ini().readString("ComSet", "port", ""), byId);
}

TEST_F(ComSetDialog, ShowsTheServerPageForAStoredStyleOfOne) {
  ini().writeInteger("ComSet", "Style", 1);
  const auto dialog = open();
  EXPECT_TRUE(control<QRadioButton>(*dialog, "RbtnTcps").isChecked());
  EXPECT_EQ(page(*dialog), QStringLiteral("tcps"));
}

TEST_F(ComSetDialog, SelectsNoKindForAStoredStyleOfSevenAndWritesNoStyleOnConfirm) {
  ini().writeInteger("ComSet", "Style", 7);
  const auto dialog = open();
  for (const char* name : {"RbtnCom", "RbtnTcps", "RbtnTcpc"}) {
    EXPECT_FALSE(control<QRadioButton>(*dialog, name).isChecked()) << name;
  }
  EXPECT_EQ(page(*dialog), QStringLiteral("tcpc"));

  prompts.buttonAnswers = {QMessageBox::No};
  click(*dialog, "BtnSend");
  EXPECT_EQ(ini().readInteger("ComSet", "Style", -1), 7);
  EXPECT_TRUE(main.calls.isEmpty());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(ComSetDialog, StoresEveryValueInOrderWithATypedBaudRateAsTyped) {
  const auto dialog = open();
  control<QRadioButton>(*dialog, "RbtnCom").setChecked(true);
  control<QComboBox>(*dialog, "Com_Port").setCurrentText("ttyUSB3");
  control<QComboBox>(*dialog, "Com_baudrate").setCurrentText("115200");
  control<QComboBox>(*dialog, "com_ByteSize").setCurrentIndex(2);
  control<QComboBox>(*dialog, "Com_Parity").setCurrentIndex(2);
  control<QComboBox>(*dialog, "Com_StopBits").setCurrentIndex(1);
  control<QCheckBox>(*dialog, "chkOpen").setChecked(true);
  control<QComboBox>(*dialog, "cmbRecive").setCurrentIndex(1);
  control<widgets::IntegerSpinEdit>(*dialog, "txtSPort").setValue(2000);
  control<QLineEdit>(*dialog, "txtIP").setText("10.0.0.7");
  control<widgets::IntegerSpinEdit>(*dialog, "txtCport").setValue(5020);
  control<QComboBox>(*dialog, "cmbTextCodec").setCurrentIndex(1);

  prompts.buttonAnswers = {QMessageBox::No};
  click(*dialog, "BtnSend");

  EXPECT_EQ(QString::fromUtf8(ReadAll(files.comsetIni())),
            QStringLiteral("[ComSet]\r\nStyle=0\r\nport=ttyUSB3\r\nBaudRate=115200\r\n"
                           "ByteSize=7\r\nParity=2\r\nStopBits=1\r\nAutoOpen=1\r\n"
                           "SendStyle=0\r\nReceiveStyle=1\r\nSPort=2000\r\nIP=10.0.0.7\r\n"
                           "CPort=5020\r\nTextCodec=GB18030\r\n"));
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("系统提示！"));
  EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("端口设置成功！是否立即打开端口？"));
  EXPECT_EQ(prompts.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(ComSetDialog, GoingBackAfterChangingEveryFieldLeavesTheFileUntouched) {
  const QByteArray before = "[ComSet]\r\nStyle=2\r\nIP=192.168.1.2\r\n";
  WriteAll(files.comsetIni(), before);
  const auto dialog = open();
  control<QRadioButton>(*dialog, "RbtnTcps").setChecked(true);
  control<QComboBox>(*dialog, "Com_baudrate").setCurrentText("4800");
  control<QLineEdit>(*dialog, "txtIP").setText("1.2.3.4");
  control<QCheckBox>(*dialog, "chkOpen").setChecked(true);
  click(*dialog, "BtnSel");
  EXPECT_EQ(ReadAll(files.comsetIni()), before);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_TRUE(main.calls.isEmpty());
}

TEST_F(ComSetDialog, ConfirmWithNoLeavesTheMainWindowOnTheNewKindClosedShownWithTheOldValues) {
  ini().writeString("ComSet", "IP", "192.168.1.2");
  const auto dialog = open();
  control<QRadioButton>(*dialog, "RbtnTcpc").setChecked(true);
  EXPECT_EQ(page(*dialog), QStringLiteral("tcpc"));
  control<QLineEdit>(*dialog, "txtIP").setText("10.1.1.1");
  prompts.buttonAnswers = {QMessageBox::No};
  click(*dialog, "BtnSend");
  EXPECT_EQ(main.calls, (QStringList{"ShowChannelState(2,0)", "SetStyle(2)"}));
  EXPECT_EQ(main.ipAtRefresh, QStringLiteral("192.168.1.2"));
  EXPECT_EQ(ini().readString("ComSet", "IP", ""), QStringLiteral("10.1.1.1"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ComSetDialog, ConfirmWithYesOpensTheChannelFromTheNewValues) {
  const auto dialog = open();
  control<QLineEdit>(*dialog, "txtIP").setText("10.1.1.1");
  prompts.buttonAnswers = {QMessageBox::Yes};
  click(*dialog, "BtnSend");
  EXPECT_EQ(main.calls, (QStringList{"ShowChannelState(0,0)", "SetStyle(0)", "BtnOpenComClick"}));
  EXPECT_EQ(main.ipAtOpen, QStringLiteral("10.1.1.1"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(ComSetDialog, AFailedOpenIsReportedAndTheDialogStaysOpen) {
  main.openThrows = true;
  const auto dialog = open();
  prompts.buttonAnswers = {QMessageBox::Yes};
  click(*dialog, "BtnSend");
  ASSERT_EQ(prompts.boxes.size(), 2);
  EXPECT_EQ(prompts.boxes[1].icon, widgets::PromptIcon::Error);
  EXPECT_EQ(prompts.boxes[1].text, QStringLiteral("Error opening serial port."));
  EXPECT_TRUE(dialog->isVisible());
}

// Deliberately stricter than writing Style and port and refreshing the main window before the
// error: a confirm that fails leaves no half-written settings.
TEST_F(ComSetDialog, ABaudRateThatIsNoIntegerIsReportedAndNothingChanges) {
  ini().writeString("ComSet", "port", "/dev/ttyS0");
  const QByteArray before = ReadAll(files.comsetIni());
  const auto dialog = open();
  QTest::mouseClick(&control<QRadioButton>(*dialog, "RbtnCom"), Qt::LeftButton);
  QLineEdit& port = *control<QComboBox>(*dialog, "Com_Port").lineEdit();
  port.selectAll();
  QTest::keyClicks(&port, "/dev/ttyUSB0");
  QLineEdit& baudRate = *control<QComboBox>(*dialog, "Com_baudrate").lineEdit();
  baudRate.selectAll();
  QTest::keyClicks(&baudRate, "96OO");
  QTest::mouseClick(&control<QPushButton>(*dialog, "BtnSend"), Qt::LeftButton);
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].caption, QStringLiteral("OruvoTarvix通讯调试软件"));
  EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("'96OO' is not a valid integer value."));
  EXPECT_EQ(ReadAll(files.comsetIni()), before);
  EXPECT_TRUE(main.calls.isEmpty());
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ComSetDialog, ADataBitListWithNothingChosenIsReportedAndNothingChanges) {
  ini().writeInteger("ComSet", "ByteSize", 9);
  const QByteArray before = ReadAll(files.comsetIni());
  const auto dialog = open();
  EXPECT_EQ(control<QComboBox>(*dialog, "com_ByteSize").currentIndex(), -1);
  click(*dialog, "BtnSend");
  ASSERT_EQ(prompts.boxes.size(), 1);
  EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("'' is not a valid integer value."));
  EXPECT_EQ(ReadAll(files.comsetIni()), before);
  EXPECT_TRUE(main.calls.isEmpty());
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ComSetDialog, ShowsStoredTextsAsStoredAndOutOfRangePositionsAsNothingChosen) {
  ini().writeString("ComSet", "BaudRate", "$2580");
  ini().writeInteger("ComSet", "Parity", 5);
  ini().writeInteger("ComSet", "SendStyle", 1);
  const auto dialog = open();
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_baudrate").currentText(), QStringLiteral("$2580"));
  EXPECT_EQ(control<QComboBox>(*dialog, "Com_Parity").currentIndex(), -1);
  EXPECT_EQ(control<QComboBox>(*dialog, "cmbSend").currentText(), QStringLiteral("ASCII"));
}

TEST_F(ComSetDialog,
       TheTextCodecFollowsTheRepresentationsIsWrittenLastAndAnOddOneStaysUntilChanged) {
  testing_support::ScopedEnv locale("LC_ALL", "C.UTF-8");
  auto dialog = open();
  const QComboBox& codecs = control<QComboBox>(*dialog, "cmbTextCodec");
  EXPECT_EQ(control<QLabel>(*dialog, "lblTextCodec").text(), QStringLiteral("文本编码"));
  ASSERT_EQ(codecs.count(), 2);
  EXPECT_EQ(codecs.itemText(0), QStringLiteral("UTF-8"));
  EXPECT_EQ(codecs.itemText(1), QStringLiteral("GB18030"));
  EXPECT_EQ(codecs.currentText(), QStringLiteral("UTF-8")) << "the locale's set without a key";

  // Tab goes from the send list to the receive list to the text codec; a key picks GB18030.
  QApplication::setActiveWindow(dialog.get());
  control<QComboBox>(*dialog, "cmbSend").setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), &control<QComboBox>(*dialog, "cmbRecive"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), &codecs);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(codecs.currentText(), QStringLiteral("GB18030"));
  prompts.buttonAnswers = {QMessageBox::No};
  QTest::mouseClick(&control<QPushButton>(*dialog, "BtnSend"), Qt::LeftButton);
  EXPECT_TRUE(ReadAll(files.comsetIni()).endsWith("\r\nCPort=1000\r\nTextCodec=GB18030\r\n"))
      << ReadAll(files.comsetIni()).toStdString();
  dialog = open();
  EXPECT_EQ(control<QComboBox>(*dialog, "cmbTextCodec").currentText(), QStringLiteral("GB18030"));

  // A value the list lacks shows as the default and is written back as it was, until the user
  // chooses an entry.
  ini().writeString("ComSet", "TextCodec", "Big5");
  dialog = open();
  EXPECT_EQ(control<QComboBox>(*dialog, "cmbTextCodec").currentText(), QStringLiteral("UTF-8"));
  prompts.buttonAnswers = {QMessageBox::No};
  QTest::mouseClick(&control<QPushButton>(*dialog, "BtnSend"), Qt::LeftButton);
  EXPECT_EQ(ini().readString("ComSet", "TextCodec", ""), QStringLiteral("Big5"));
  dialog = open();
  control<QComboBox>(*dialog, "cmbTextCodec").setCurrentIndex(1);
  prompts.buttonAnswers = {QMessageBox::No};
  QTest::mouseClick(&control<QPushButton>(*dialog, "BtnSend"), Qt::LeftButton);
  EXPECT_EQ(ini().readString("ComSet", "TextCodec", ""), QStringLiteral("GB18030"));
}

TEST(IntegerSpinEdit, AcceptsOnlyDigitsSignsAndTheDecimalSeparatorAsTypedCharacters) {
  widgets::IntegerSpinEdit field;
  field.setLocale(QLocale::c());
  field.setValue(0);
  field.selectAll();
  QTest::keyClicks(&field, "12a.3 -+x");
  EXPECT_EQ(field.text(), QStringLiteral("12.3-+"));
  QTest::keyClick(&field, Qt::Key_Backspace);
  EXPECT_EQ(field.text(), QStringLiteral("12.3-"));
  EXPECT_EQ(field.value(), 0);  // not an integer
  EXPECT_TRUE(widgets::IsIntegerFieldCharacter(u',', QStringLiteral(",")));
  EXPECT_FALSE(widgets::IsIntegerFieldCharacter(u',', QStringLiteral(".")));
}

TEST(IntegerSpinEdit, StepsByAHundredWithoutBoundsUpToTheIntegerRange) {
  widgets::IntegerSpinEdit field;
  field.setValue(-50);
  field.stepBy(1);
  EXPECT_EQ(field.value(), 50);
  field.stepBy(-3);
  EXPECT_EQ(field.value(), -250);
  field.setValue(2147483600);
  field.stepBy(1);
  EXPECT_EQ(field.value(), 2147483647);
}

}  // namespace
