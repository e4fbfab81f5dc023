#pragma once
// An integer field with up and down buttons: steps of 100, no bounds of its own beyond the
// 32-bit range, and typing limited to digits, "+", "-" and the locale's decimal separator
// (editing and navigation keys work as usual). Any text may stand in the field; value() reads
// it as 0 when it is not an integer.

#include <QAbstractSpinBox>

namespace widgets {

// Whether a typed character may enter an integer field.
bool IsIntegerFieldCharacter(QChar c, const QString& decimalPoint);

class IntegerSpinEdit : public QAbstractSpinBox {
  Q_OBJECT
  Q_PROPERTY(int value READ value WRITE setValue)

 public:
  explicit IntegerSpinEdit(QWidget* parent = nullptr);

  int value() const;
  void setValue(int value);
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& input, int& pos) const override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace widgets
