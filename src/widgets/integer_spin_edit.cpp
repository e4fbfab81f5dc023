#include "widgets/integer_spin_edit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <limits>

#include "store/integer_text.h"

namespace widgets {
namespace {

constexpr int kStep = 100;

}  // namespace

bool IsIntegerFieldCharacter(QChar c, const QString& decimalPoint) {
  return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || decimalPoint.contains(c);
}

IntegerSpinEdit::IntegerSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
  lineEdit()->setText(QStringLiteral("0"));
}

int IntegerSpinEdit::value() const {
  return store::ParseInteger(text().trimmed().toLatin1()).value_or(0);
}

void IntegerSpinEdit::setValue(int value) { lineEdit()->setText(QString::number(value)); }

void IntegerSpinEdit::stepBy(int steps) {
  const long long next = static_cast<long long>(value()) + static_cast<long long>(steps) * kStep;
  setValue(static_cast<int>(std::clamp<long long>(next, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max())));
  selectAll();
}

QAbstractSpinBox::StepEnabled IntegerSpinEdit::stepEnabled() const {
  return StepUpEnabled | StepDownEnabled;
}

QValidator::State IntegerSpinEdit::validate(QString&, int&) const {
  return QValidator::Acceptable;  // the key filter limits typing; any text reads as a value
}

void IntegerSpinEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  const QString decimalPoint = locale().decimalPoint();
  // Control characters (Backspace, Ctrl+C, ...) are editing keys, not typed characters.
  const bool refused = std::any_of(typed.begin(), typed.end(), [&](QChar c) {
    return c.isPrint() && !IsIntegerFieldCharacter(c, decimalPoint);
  });
  if (refused) {
    event->ignore();
    return;
  }
  QAbstractSpinBox::keyPressEvent(event);
}

}  // namespace widgets
