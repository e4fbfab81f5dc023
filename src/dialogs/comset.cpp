#include "dialogs/comset.h"

#include <QRadioButton>
#include <QShowEvent>
#include <stdexcept>

#include "dialogs/serial_port_list.h"
#include "platform/serial_ports_linux.h"
#include "store/integer_text.h"
#include "ui_comset.h"
#include "widgets/handler_guard.h"
#include "widgets/pictures.h"

namespace dialogs {
namespace {

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
                       const store::AppFiles& files, QString sysfsRoot, QString devRoot)
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
  widgets::RunGuarded(prompts_, this, [&] { FormCreate(sysfsRoot, devRoot); });
}

TfrmComSet::~TfrmComSet() = default;

void TfrmComSet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) widgets::RunGuarded(prompts_, this, [this] { FormShow(); });
}

void TfrmComSet::FormCreate(const QString& sysfsRoot, const QString& devRoot) {
  FillSerialPortList(*ui_->Com_Port, platform::DescribeSerialPorts(sysfsRoot, devRoot));
}

void TfrmComSet::FormShow() { showSettings(store::ComSetSettings::load(files_)); }

void TfrmComSet::showSettings(const store::ComSetSettings& settings) {
  // Children in their order; the first kind button with the stored tag wins.
  for (QRadioButton* button :
       ui_->GroupBox1->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
    if (button->property("tag").toInt() == settings.style) {
      button->setChecked(true);
      break;
    }
  }
  ui_->Com_Port->setCurrentText(settings.port);
  ui_->Com_baudrate->setCurrentText(settings.baudRate);
  ChooseEntry(*ui_->com_ByteSize, settings.byteSizeValue() - 5);
  ChooseEntry(*ui_->Com_Parity, settings.parity);
  ChooseEntry(*ui_->Com_StopBits, settings.stopBits);
  ui_->txtSPort->setValue(settings.serverPortValue());
  ui_->txtIP->setText(settings.clientIp);
  ui_->txtCport->setValue(settings.clientPortValue());
  ChooseEntry(*ui_->cmbSend, settings.sendStyle);
  ChooseEntry(*ui_->cmbRecive, settings.receiveStyle);
  ui_->chkOpen->setChecked(settings.autoOpen);
  storedTextCodec_ = settings.textCodec;
  ui_->cmbTextCodec->setCurrentIndex(ui_->cmbTextCodec->findText(settings.textCodecName()));
  shownTextCodec_ = ui_->cmbTextCodec->currentIndex();
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

store::ComSetSettings TfrmComSet::chosenSettings() const {
  store::ComSetSettings settings;
  settings.baudRate = QString::number(IntegerFromText(ui_->Com_baudrate->currentText()));
  settings.byteSize = QString::number(IntegerFromText(ui_->com_ByteSize->currentText()));
  const QRadioButton* kindButton = selectedKindButton();
  settings.style =
      kindButton ? std::optional<int>(kindButton->property("tag").toInt()) : std::nullopt;
  settings.port = ui_->Com_Port->currentText();
  settings.parity = ui_->Com_Parity->currentIndex();
  settings.stopBits = ui_->Com_StopBits->currentIndex();
  settings.autoOpen = ui_->chkOpen->isChecked();
  settings.sendStyle = ui_->cmbSend->currentIndex();
  settings.receiveStyle = ui_->cmbRecive->currentIndex();
  settings.serverPort = QString::number(ui_->txtSPort->value());
  settings.clientIp = ui_->txtIP->text();
  settings.clientPort = QString::number(ui_->txtCport->value());
  // A stored value the list does not hold stays as stored until the user picks another.
  const bool textCodecKept =
      storedTextCodec_ && ui_->cmbTextCodec->currentIndex() == shownTextCodec_;
  settings.textCodec = textCodecKept ? storedTextCodec_ : ui_->cmbTextCodec->currentText();
  return settings;
}

void TfrmComSet::BtnSendClick() {
  // Both conversions come first, so a bad value changes neither the main window nor the file.
  const store::ComSetSettings settings = chosenSettings();
  if (settings.style) {
    // The refresh comes before the new values are stored: it shows the new kind with the
    // parameters stored before; the next open or close shows the new ones.
    main_.ShowChannelState(static_cast<store::ChannelKind>(*settings.style), false);
    main_.SetStyle(static_cast<store::ChannelKind>(*settings.style));
  }
  settings.save(files_);

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
