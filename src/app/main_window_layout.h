#pragma once
// Builds the main window's controls, each carrying its control name as objectName: the menu
// bar, the two tab pages with their tool strips, the splitter, the log frame and the status bar.
// It wires nothing; the window connects the controls to its handlers.

#include <QAction>
#include <QFont>
#include <QMainWindow>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace widgets {
class IntegerSpinEdit;
class TPowerStringGrid;
}  // namespace widgets

namespace textview {
class TextView;
}

namespace app {

struct MainWindowControls {
  // menu bar, in its order
  QAction* BtnOpenCom;
  QAction* btnCloseCom;
  QAction* btnPortSet;
  QAction* BtnClear;
  QMenu* J1;
  QAction* ASCIIA1;
  QAction* J2;
  QAction* btnRecord;
  QMenu* A2;
  QAction* N1;
  QAction* BtnAbout;
  QAction* btnExit;
  // pages
  QSplitter* Splitter1;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QCheckBox* ceksend1;
  widgets::IntegerSpinEdit* txtInteval1;
  QToolButton* BtnSend1;
  textview::TextView* Memo2;
  QWidget* TabSheet2;
  QCheckBox* ceksend2;
  QCheckBox* cekCircle;
  widgets::IntegerSpinEdit* txtInteval2;
  QToolButton* BtnSend2;
  QToolButton* BtnUpdate;
  widgets::TPowerStringGrid* GrdSend;
  // log
  QGroupBox* GroupBox1;
  textview::TextView* Memo1;
};

MainWindowControls BuildMainWindowLayout(QMainWindow& window);

// The traffic log's font: 13-pixel monospaced, Chinese characters two cells wide.
QFont LogFont();

// Adds an action with the given control name to a menu or the menu bar.
template <typename Menu>
QAction* AddNamedAction(Menu& menu, const char* name, const QString& caption) {
  QAction* action = menu.addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

// An interval field in milliseconds: an integer spin edit stepping 100, without bounds, whose
// text reads as 0 when it is not an integer (an emptied field or a lone "-").
widgets::IntegerSpinEdit* NewIntervalField(QWidget* parent, const char* name);

}  // namespace app
