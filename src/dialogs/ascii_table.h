#pragma once
// The ASCII code table window and the tools menu's calculator list.
// The window is modeless and has no owner; the main window creates it once and shows it again
// on every later request. Closing it stores its size and hides it, so the scroll position and
// size survive until the program ends.

#include <QStringList>
#include <QWidget>

#include "store/app_files.h"
#include "widgets/prompts.h"

class QPlainTextEdit;

namespace dialogs {

// The table's 129 lines: the header "DEC\tHEX\tCHAR\tCODE", then one line per code 0 to 127:
// decimal, two upper-case hex digits, the character, and the control code's name
// ("10\t0A\t\tLF", "32\t20\t\tSPACE", "65\t41\tA").
QStringList AsciiTableLines();

// The usual Linux desktop calculators, the most common first; the calculator command starts
// the first one installed.
QStringList CalculatorPrograms();

class TfrmASC : public QWidget {
  Q_OBJECT

 public:
  // Without prompts a failed size store is reported with the program's own message boxes.
  explicit TfrmASC(const store::AppFiles& files);
  TfrmASC(const store::AppFiles& files, widgets::Prompts& prompts);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  widgets::QtPrompts ownPrompts_;
  widgets::Prompts& prompts_;
  store::AppFiles files_;
  QPlainTextEdit* Memo2;
};

}  // namespace dialogs
