#include "dialogs/ascii_table.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <array>

#include "widgets/form_size.h"
#include "widgets/handler_guard.h"

namespace dialogs {
namespace {

const QString kFormSection = QStringLiteral("frmASC");

constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

QString codeLine(int code) {
  const QString dec = QString::number(code);
  const QString hex = QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
  auto named = [&](const QString& name) {
    return dec + u'\t' + hex + QStringLiteral("\t\t") + name;
  };
  if (code < 32) return named(QString::fromLatin1(kControlNames[code]));
  if (code == 32) return named(QStringLiteral("SPACE"));
  if (code == 127) return named(QStringLiteral("DEL"));
  return dec + u'\t' + hex + u'\t' + QChar(code);
}

}  // namespace

QStringList AsciiTableLines() {
  QStringList lines{QStringLiteral("DEC\tHEX\tCHAR\tCODE")};
  for (int code = 0; code < 128; ++code) lines.append(codeLine(code));
  return lines;
}

QStringList CalculatorPrograms() {
  return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
          QStringLiteral("galculator"),       QStringLiteral("mate-calc"),
          QStringLiteral("qalculate-gtk"),    QStringLiteral("xcalc")};
}

TfrmASC::TfrmASC(const store::AppFiles& files) : TfrmASC(files, ownPrompts_) {}

TfrmASC::TfrmASC(const store::AppFiles& files, widgets::Prompts& prompts)
    : QWidget(nullptr), prompts_(prompts), files_(files), Memo2(new QPlainTextEdit(this)) {
  setObjectName(kFormSection);
  setWindowTitle(QStringLiteral("ASCII表"));
  // A companion of the main window: the program ends when the main window closes, whether or
  // not the table is still open.
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);

  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setReadOnly(true);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setAttribute(Qt::WA_InputMethodEnabled, false);
  Memo2->setMinimumWidth(80);
  Memo2->setPlainText(AsciiTableLines().join(u'\n'));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo2);

  resize(507, 339);
  widgets::RunGuarded(prompts_, this,
                      [this] { widgets::RestoreFormSize(*this, files_, kFormSection); });
}

void TfrmASC::closeEvent(QCloseEvent* event) {
  widgets::RunGuarded(prompts_, this,
                      [this] { widgets::StoreFormSize(*this, files_, kFormSection); });
  // Hidden, not destroyed: the main window shows this same window again later.
  event->accept();
}

}  // namespace dialogs
