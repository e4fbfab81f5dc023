#include "dialogs/comset.h"

#include <QRadioButton>
#include <QShowEvent>
#include <stdexcept>

#include "platform/serial_ports_linux.h"
#include "store/ini_file.h"
#include "store/integer_text.h"
#include "ui_comset.h"
#include "widgets/handler_guard.h"
#include "widgets/pictures.h"

namespace dialogs {
namespace {

const QString kSection = QStringLiteral("ComSet");

// A text the user typed as a number: "'<text>' is not a valid integer value" when it is not.
int IntegerFromText(const QString& text) {
  if (const auto value = store::ParseInteger(text.toUtf8())) return *value;
  throw std::runtime_error(
      QStringLiteral("'%1' is not a valid integer value").arg(text).toUtf8().toStdString());
}

// A stored list position; one outside the list leaves nothing chosen.
void ChooseEntry(QComboBox& list, int position) {
  list.setCurrentIndex(position >= 0 && position < list.count() ? position : -1);
}

}  // namespace

TfrmComSet::TfrmComSet(QWidget* parent, ChannelCommands& main, widgets::Prompts& prompts,
                       const store::AppFiles& files, QString sysfsRoot)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TfrmComSet>()),
      main_(main),
      prompts_(prompts),
      files_(files) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(413, 373);
  ui_->BtnSend->setIcon(widgets::ButtonPicture(widgets::ButtonPictureId::Confirm));
  ui_->BtnSel->setIcon(widgets::ButtonPicture(widgets::ButtonPictureId::Back));

  for (QRadioButton* button : ui_->GroupBox1->findChildren<QRadioButton*>()) {
    connect(button, &QRadioButton::toggled, this, [this, button](bool checked) {
      if (checked) widgets::RunGuarded(prompts_, this, [&] { RbtnSetClick(*button); });
    });
  }
  connect(ui_->BtnSend, &QPushButton::clicked, this,
          [this] { widgets::RunGuarded(prompts_, this, [this] { BtnSendClick(); }); });
  connect(ui_->BtnSel, &QPushButton::clicked, this,
          [this] { widgets::RunGuarded(prompts_, this, [this] { BtnSelClick(); }); });
  widgets::RunGuarded(prompts_, this, [&] { FormCreate(sysfsRoot); });
}

TfrmComSet::~TfrmComSet() = default;

void TfrmComSet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) widgets::RunGuarded(prompts_, this, [this] { FormShow(); });
}

void TfrmComSet::FormCreate(const QString& sysfsRoot) {
  ui_->Com_Port->clear();
  ui_->Com_Port->addItems(platform::ListSerialPorts(sysfsRoot));
}

void TfrmComSet::FormShow() {
  const store::IniFile ini(files_.comsetIni());
  const int style = ini.readInteger(kSection, QStringLiteral("Style"), 0);
  // Children in their order; the first kind button with the stored tag wins.
  for (QRadioButton* button :
       ui_->GroupBox1->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
    if (button->property("tag").toInt() == style) {
      button->setChecked(true);
      break;
    }
  }
  ui_->Com_Port->setCurrentText(
      ini.readString(kSection, QStringLiteral("port"), QStringLiteral("COM1")));
  ui_->Com_baudrate->setCurrentText(
      ini.readString(kSection, QStringLiteral("BaudRate"), QStringLiteral("9600")));
  ChooseEntry(*ui_->com_ByteSize, ini.readInteger(kSection, QStringLiteral("ByteSize"), 8) - 5);
  ChooseEntry(*ui_->Com_Parity, ini.readInteger(kSection, QStringLiteral("Parity"), 0));
  ChooseEntry(*ui_->Com_StopBits, ini.readInteger(kSection, QStringLiteral("StopBits"), 0));
  ui_->txtSPort->setValue(
      ini.readInteger(kSection, QStringLiteral("SPort"), ui_->txtSPort->value()));
  ui_->txtIP->setText(ini.readString(kSection, QStringLiteral("IP"), ui_->txtIP->text()));
  ui_->txtCport->setValue(
      ini.readInteger(kSection, QStringLiteral("CPort"), ui_->txtCport->value()));
  ChooseEntry(*ui_->cmbSend,
              ini.readInteger(kSection, QStringLiteral("SendStyle"), ui_->cmbSend->currentIndex()));
  ChooseEntry(*ui_->cmbRecive, ini.readInteger(kSection, QStringLiteral("ReceiveStyle"),
                                               ui_->cmbRecive->currentIndex()));
  ui_->chkOpen->setChecked(ini.readBool(kSection, QStringLiteral("AutoOpen"), false));
}

void TfrmComSet::RbtnSetClick(const QRadioButton& button) {
  ui_->Notebook1->setCurrentIndex(button.property("tag").toInt());
}

QRadioButton* TfrmComSet::selectedKindButton() const {
  for (QRadioButton* button :
       ui_->GroupBox1->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
    if (button->isChecked()) return button;
  }
  return nullptr;
}

void TfrmComSet::BtnSendClick() {
  // Both conversions come first, so a bad value changes neither the main window nor the file.
  const int baudRate = IntegerFromText(ui_->Com_baudrate->currentText());
  const int byteSize = IntegerFromText(ui_->com_ByteSize->currentText());

  const store::IniFile ini(files_.comsetIni());
  if (const QRadioButton* kindButton = selectedKindButton()) {
    const auto kind = static_cast<store::ChannelKind>(kindButton->property("tag").toInt());
    // The refresh comes before the new values are stored: it shows the new kind with the
    // parameters stored before; the next open or close shows the new ones.
    main_.ShowChannelState(kind, false);
    main_.SetStyle(kind);
    ini.writeInteger(kSection, QStringLiteral("Style"), static_cast<int>(kind));
  }
  ini.writeString(kSection, QStringLiteral("port"), ui_->Com_Port->currentText());
  ini.writeInteger(kSection, QStringLiteral("BaudRate"), baudRate);
  ini.writeInteger(kSection, QStringLiteral("ByteSize"), byteSize);
  ini.writeInteger(kSection, QStringLiteral("Parity"), ui_->Com_Parity->currentIndex());
  ini.writeInteger(kSection, QStringLiteral("StopBits"), ui_->Com_StopBits->currentIndex());
  ini.writeBool(kSection, QStringLiteral("AutoOpen"), ui_->chkOpen->isChecked());
  ini.writeInteger(kSection, QStringLiteral("SendStyle"), ui_->cmbSend->currentIndex());
  ini.writeInteger(kSection, QStringLiteral("ReceiveStyle"), ui_->cmbRecive->currentIndex());
  ini.writeInteger(kSection, QStringLiteral("SPort"), ui_->txtSPort->value());
  ini.writeString(kSection, QStringLiteral("IP"), ui_->txtIP->text());
  ini.writeInteger(kSection, QStringLiteral("CPort"), ui_->txtCport->value());

  const auto answer = prompts_.messageBox(
      this, widgets::PromptIcon::Information, widgets::kNoticeCaption,
      QStringLiteral("端口设置成功！是否立即打开端口？"), QMessageBox::Yes | QMessageBox::No);
  // Opened while the dialog still shows: a serial open that fails throws, and the dialog
  // stays open.
  if (answer == QMessageBox::Yes) main_.BtnOpenComClick();
  accept();
}

void TfrmComSet::BtnSelClick() { reject(); }

}  // namespace dialogs
