// Makes the README's screenshots from the real windows, offscreen: the main window after real
// traffic over a pseudo-terminal, the settings dialog and the message-list editor.
//   screenshots <output directory>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "dialogs/comset.h"
#include "dialogs/define_send.h"
#include "store/ini_file.h"
#include "textview/text_view.h"
#include "support/fake_prompts.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "widgets/pictures.h"

namespace {

void save(QWidget& widget, const QString& path) {
  QTest::qWait(200);
  widget.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setWindowIcon(widgets::ProgramIcon());
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);

  testing_support::TempDir dir;
  testing_support::FakePrompts prompts;
  testing_support::FakeShell shell;
  testing_support::PtyPair pty;
  const store::AppFiles files{dir.path()};
  const store::IniFile ini(files.comsetIni());
  ini.writeString("ComSet", "port", pty.slavePath());
  ini.writeInteger("ComSet", "BaudRate", 115200);
  testing_support::WriteAll(
      files.defaultSendFile(),
      "4\r\n1,复位,\"AA 55 01\"\r\n2,读保持寄存器,\"01 03 00 00 00 0A C5 CD\"\r\n"
      "3,查询版本,\"7E 00 05 7E\"\r\n");

  app::TfrmZh window(app::AppContext{files, prompts, shell});
  window.resize(760, 520);
  window.show();
  window.Controls().BtnOpenCom->trigger();
  window.Controls().Memo2->setPlainText("01 03 00 00 00 0A C5 CD");
  window.Controls().BtnSend1->click();
  pty.read(8);
  pty.write(QByteArray::fromHex("01031400010002000300040005000600070008000900 0A1C3B"));
  QTest::qWait(200);
  window.Controls().BtnSend1->click();
  pty.read(8);
  pty.write(QByteArray::fromHex("0103140001000200030004000500060007000800090000AB12"));
  QTest::qWait(200);
  save(window, out + "/main-window.png");

  window.Controls().btnCloseCom->trigger();
  {
    dialogs::TfrmComSet settings(&window, window, prompts, files);
    settings.show();
    save(settings, out + "/settings.png");
  }
  {
    dialogs::TfrmDefineSend editor(&window, prompts, files);
    editor.show();
    save(editor, out + "/editor.png");
  }
  return 0;
}
