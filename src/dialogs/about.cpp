#include "dialogs/about.h"

#include <QEvent>
#include <QLabel>
#include <stdexcept>
#include <utility>
#include <variant>

#include "dialogs/about_text.h"
#include "program_version.h"
#include "ui_about.h"
#include "widgets/handler_guard.h"
#include "widgets/pictures.h"

namespace dialogs {
namespace {

const QString kVersion = QStringLiteral(ORUVO_VERSION_SHORT);
const QString kRightsHolder = QStringLiteral("OruvoTarvix");

template <class T>
T valueOrThrow(std::variant<T, platform::SystemError> result) {
  if (auto* error = std::get_if<platform::SystemError>(&result)) {
    throw std::runtime_error(error->text.toStdString());
  }
  return std::get<T>(std::move(result));
}

void appendText(QLabel& label, const QString& text) { label.setText(label.text() + text); }

void setLinkLook(QLabel& link, const QColor& colour, bool highlighted) {
  QPalette palette = link.palette();
  palette.setColor(QPalette::WindowText, colour);
  link.setPalette(palette);
  QFont font = link.font();
  font.setUnderline(highlighted);
  font.setBold(highlighted);
  link.setFont(font);
}

}  // namespace

TAboutfrm::TAboutfrm(QWidget* parent, platform::DesktopShell& shell, widgets::Prompts& prompts,
                     MachineFacts facts)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TAboutfrm>()),
      shell_(shell),
      prompts_(prompts),
      facts_(std::move(facts)) {
  ui_->setupUi(this);
  QFont boxFont(QStringLiteral("宋体"));
  boxFont.setPixelSize(12);
  setFont(boxFont);
  setFixedSize(362, 245);
  ui_->btnClose->setIcon(widgets::ButtonPicture(widgets::ButtonPictureId::Close));

  ui_->lblweb->setText(kAboutWebAddress);
  ui_->lblweb->setToolTip(kAboutWebAddress);
  ui_->lblmail->setText(kAboutMailAddress);
  ui_->lblmail->setToolTip(QStringLiteral("mailto:") + kAboutMailAddress);
  for (QLabel* link : {ui_->lblweb, ui_->lblmail}) link->installEventFilter(this);

  connect(ui_->btnClose, &QPushButton::clicked, this, &QDialog::accept);
  widgets::RunGuarded(prompts_, this, [this] { FormCreate(); });
}

TAboutfrm::~TAboutfrm() = default;

void TAboutfrm::FormCreate() {
  const double mhz = facts_.cpuMhz().value_or(0.0);
  appendText(*ui_->lableCpu, FrequencyText(mhz));
  try {
    fillFacts();
  } catch (const std::exception&) {
    // The labels keep what they had reached.
    prompts_.messageBox(this, widgets::PromptIcon::None, QStringLiteral("提示"),
                        QStringLiteral("某些信息不能取得"), QMessageBox::Ok);
  }
}

void TAboutfrm::fillFacts() {
  setWindowTitle(QStringLiteral("关于[") + widgets::kProgramTitle + u']');
  ui_->ProgramIcon->setPixmap(widgets::ProgramIcon().pixmap(48, 48));
  appendText(*ui_->ProductName, widgets::kProgramTitle);
  appendText(*ui_->Version, kVersion);
  appendText(*ui_->Copyright, kRightsHolder);
  appendText(*ui_->lblMemory, MemoryText(valueOrThrow(facts_.physicalMemoryBytes())));
  appendText(*ui_->lblOs, SystemText(valueOrThrow(facts_.systemVersion())));
}

bool TAboutfrm::eventFilter(QObject* watched, QEvent* event) {
  auto* link = qobject_cast<QLabel*>(watched);
  if (!link) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Enter:
      widgets::RunGuarded(prompts_, this, [&] { lblMouseMove(*link); });
      break;
    case QEvent::Leave:
      widgets::RunGuarded(prompts_, this, [&] { lblMouseLeave(*link); });
      break;
    case QEvent::MouseButtonPress:
      widgets::RunGuarded(prompts_, this, [&] { lblMouseDown(*link); });
      return true;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutfrm::lblMouseMove(QLabel& link) {
  setLinkLook(link, QColor(0, 0, 255), true);
  link.setCursor(Qt::PointingHandCursor);
}

void TAboutfrm::lblMouseLeave(QLabel& link) {
  setLinkLook(link, Qt::black, false);
  link.unsetCursor();
}

void TAboutfrm::lblMouseDown(const QLabel& link) {
  try {
    shell_.openWithDefaultHandler(link.toolTip());
  } catch (const std::exception&) {
    widgets::ShowNotice(prompts_, this, QStringLiteral("网络设置有问题"));
  }
}

}  // namespace dialogs
