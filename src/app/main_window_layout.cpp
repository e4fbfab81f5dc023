#include "app/main_window_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "textview/text_view.h"
#include "widgets/focus_marked_buttons.h"
#include "widgets/integer_spin_edit.h"
#include "widgets/message_grid.h"
#include "widgets/pictures.h"

namespace app {
namespace {

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QToolButton* newFlatButton(QWidget* parent, const char* name, const QString& caption,
                           widgets::ButtonPictureId picture) {
  auto* button = named(new widgets::FocusMarkedToolButton(parent), name);
  button->setText(caption);
  button->setIcon(widgets::ButtonPicture(picture));
  button->setIconSize(QSize(32, 32));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setMinimumWidth(72);
  return button;
}

// The tool strip across the top of a page, 65 pixels high.
QWidget* newToolStrip(QWidget* page, const char* name) {
  auto* strip = named(new QFrame(page), name);
  strip->setFixedHeight(65);
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(6, 2, 6, 2);
  return strip;
}

// A label above its interval field.
QWidget* intervalGroup(QWidget* parent, const char* labelName, QWidget* field) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(named(new QLabel(QStringLiteral("间隔(毫秒)"), box), labelName));
  layout->addWidget(field);
  return box;
}

void buildMenu(QMainWindow& window, MainWindowControls& c) {
  QMenuBar* bar = window.menuBar();
  c.BtnOpenCom = AddNamedAction(*bar, "BtnOpenCom", QStringLiteral("打开(&O)"));
  c.btnCloseCom = AddNamedAction(*bar, "btnCloseCom", QStringLiteral("关闭(&G)"));
  c.btnCloseCom->setCheckable(true);
  c.btnCloseCom->setChecked(true);
  c.btnPortSet = AddNamedAction(*bar, "btnPortSet", QStringLiteral("参数设置(&P)"));
  c.BtnClear = AddNamedAction(*bar, "BtnClear", QStringLiteral("清除报文(&Q)"));
  c.J1 = named(bar->addMenu(QStringLiteral("常用工具(&G)")), "J1");
  c.ASCIIA1 = AddNamedAction(*c.J1, "ASCIIA1", QStringLiteral("ASCII码表(&A)"));
  c.J2 = AddNamedAction(*c.J1, "J2", QStringLiteral("计算器(&J)"));
  c.btnRecord = AddNamedAction(*c.J1, "btnRecord", QStringLiteral("记录到文件(&L)..."));
  c.btnRecord->setCheckable(true);
  c.A2 = named(bar->addMenu(QStringLiteral("帮助(&H)")), "A2");
  c.N1 = AddNamedAction(*c.A2, "N1", QStringLiteral("帮助文件(&H)"));
  c.BtnAbout = AddNamedAction(*c.A2, "BtnAbout", QStringLiteral("关于(&A)"));
  c.btnExit = AddNamedAction(*bar, "btnExit", QStringLiteral("退出(&X)"));
}

void buildSinglePage(MainWindowControls& c) {
  c.TabSheet1 = named(new QWidget(c.PageControl1), "TabSheet1");
  auto* page = new QVBoxLayout(c.TabSheet1);
  page->setContentsMargins(2, 2, 2, 2);
  QWidget* strip = newToolStrip(c.TabSheet1, "Panel3");
  auto* row = static_cast<QHBoxLayout*>(strip->layout());
  c.ceksend1 = named(new QCheckBox(QStringLiteral("连续发送(&S)"), strip), "ceksend1");
  c.txtInteval1 = NewIntervalField(strip, "txtInteval1");
  c.BtnSend1 =
      newFlatButton(strip, "BtnSend1", QStringLiteral("发送(&N)"), widgets::ButtonPictureId::Send);
  row->addWidget(c.ceksend1);
  row->addWidget(intervalGroup(strip, "Label1", c.txtInteval1));
  row->addStretch();
  row->addWidget(c.BtnSend1);
  // The log's view, plain: a message of 256 KiB as hex text stays quick to show and to edit. Its
  // cells are the log's, so hex text lines up as in the log; Chinese comes in by input method.
  c.Memo2 = named(new textview::TextView(c.TabSheet1), "Memo2");
  c.Memo2->setFont(LogFont());
  c.Memo2->setMinimumWidth(80);
  // Tab and Shift+Tab move the focus, as on every other control; a tab can still be pasted.
  c.Memo2->setTabChangesFocus(true);
  page->addWidget(strip);
  page->addWidget(c.Memo2);
  c.PageControl1->addTab(c.TabSheet1, QStringLiteral("单报文(&D)"));
}

void buildSequencePage(MainWindowControls& c) {
  c.TabSheet2 = named(new QWidget(c.PageControl1), "TabSheet2");
  auto* page = new QVBoxLayout(c.TabSheet2);
  page->setContentsMargins(2, 2, 2, 2);
  QWidget* strip = newToolStrip(c.TabSheet2, "Panel2");
  auto* row = static_cast<QHBoxLayout*>(strip->layout());
  c.ceksend2 = named(new QCheckBox(QStringLiteral("连续发送(&T)"), strip), "ceksend2");
  c.cekCircle = named(new QCheckBox(QStringLiteral("是否循环(&R)"), strip), "cekCircle");
  c.txtInteval2 = NewIntervalField(strip, "txtInteval2");
  c.BtnSend2 =
      newFlatButton(strip, "BtnSend2", QStringLiteral("发送(&F)"), widgets::ButtonPictureId::Send);
  c.BtnUpdate = newFlatButton(strip, "BtnUpdate", QStringLiteral("报文维护(&U)"),
                              widgets::ButtonPictureId::MaintainList);
  auto* boxes = new QVBoxLayout;
  boxes->addWidget(c.ceksend2);
  boxes->addWidget(c.cekCircle);
  row->addLayout(boxes);
  row->addWidget(intervalGroup(strip, "Label2", c.txtInteval2));
  row->addStretch();
  row->addWidget(c.BtnSend2);
  row->addWidget(c.BtnUpdate);
  c.GrdSend = named(new widgets::TPowerStringGrid(c.TabSheet2), "GrdSend");
  c.GrdSend->setColCount(3);
  c.GrdSend->setRowCount(2);
  c.GrdSend->setWholeRowSelect(true);
  c.GrdSend->setDefaultRowHeight(20);
  // The row numbers are centred; every title is centred over its column.
  c.GrdSend->setColumnAlignment(0, Qt::AlignCenter, Qt::AlignCenter);
  c.GrdSend->setColumnAlignment(1, Qt::AlignLeft, Qt::AlignCenter);
  c.GrdSend->setColumnAlignment(2, Qt::AlignLeft, Qt::AlignCenter);
  c.GrdSend->setColumnTitle(0, QString());
  c.GrdSend->setColumnTitle(1, QStringLiteral("报文意义"));
  c.GrdSend->setColumnTitle(2, QStringLiteral("报文内容"));
  c.GrdSend->setColWidths(0, 25);
  c.GrdSend->setColWidths(1, 111);
  c.GrdSend->setColWidths(2, 626);
  page->addWidget(strip);
  page->addWidget(c.GrdSend);
  c.PageControl1->addTab(c.TabSheet2, QStringLiteral("多报文(&B)"));
}

}  // namespace

QFont LogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("新宋体"), QStringLiteral("NSimSun"),
                    QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("monospace")});
  font.setPixelSize(13);
  // Log lines are mostly hex digits and ASCII, which need no shaping: skipping it makes
  // drawing a row cheaper.
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

widgets::IntegerSpinEdit* NewIntervalField(QWidget* parent, const char* name) {
  auto* field = named(new widgets::IntegerSpinEdit(parent), name);
  field->setValue(1000);
  field->setMinimumWidth(90);
  return field;
}

MainWindowControls BuildMainWindowLayout(QMainWindow& window) {
  MainWindowControls c{};
  window.setObjectName(QStringLiteral("frmZh"));
  window.resize(655, 480);
  window.setMinimumSize(550, 400);
  buildMenu(window, c);

  c.Splitter1 = named(new QSplitter(Qt::Vertical, &window), "Splitter1");
  c.Splitter1->setChildrenCollapsible(false);
  c.PageControl1 = named(new QTabWidget(c.Splitter1), "PageControl1");
  c.PageControl1->setMinimumHeight(150);
  buildSinglePage(c);
  buildSequencePage(c);

  c.GroupBox1 = named(new QGroupBox(QStringLiteral("报文接收"), c.Splitter1), "GroupBox1");
  auto* logLayout = new QVBoxLayout(c.GroupBox1);
  logLayout->setContentsMargins(4, 4, 4, 4);
  c.Memo1 = named(new textview::TextView(c.GroupBox1), "Memo1");
  c.Memo1->setFont(LogFont());
  c.Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logLayout->addWidget(c.Memo1);

  c.Splitter1->addWidget(c.PageControl1);
  c.Splitter1->addWidget(c.GroupBox1);
  c.Splitter1->setStretchFactor(0, 0);
  c.Splitter1->setStretchFactor(1, 1);
  window.setCentralWidget(c.Splitter1);
  window.statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  window.statusBar()->setSizeGripEnabled(true);
  return c;
}

}  // namespace app
