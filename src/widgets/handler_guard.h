#pragma once
// Every event handler of the program runs behind RunGuarded, so no exception crosses Qt's event
// loop: a failure ends its handler and is shown as the program's error box, and the program
// goes on.

#include <QString>
#include <functional>

#include "widgets/prompts.h"

class QWidget;

namespace widgets {

inline const QString kProgramTitle = QStringLiteral("OruvoTarvix通讯调试软件");

// The error box text: the message with a full stop appended when its last character has a code
// above that of the full stop ("Error opening serial port" gets one, a message ending in a
// blank does not).
QString ErrorBoxText(const QString& message);

void ShowErrorBox(Prompts& prompts, QWidget* parent, const QString& message);

// Runs the handler; an exception it throws is reported with ShowErrorBox. Returns false when
// the handler failed.
bool RunGuarded(Prompts& prompts, QWidget* parent, const std::function<void()>& handler);

}  // namespace widgets
