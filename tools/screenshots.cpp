// Makes the README's screenshots from the real windows, offscreen: the main window after real
// traffic over a pseudo-terminal, the settings dialog and the message-list editor, then the
// settings dialog on the TCP server page and the main window serving a loopback client.
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
#include "support/loopback_peer.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "widgets/pictures.h"

namespace {

void save(QWidget& widget, const QString& path) {
  QTest::qWait(200);
  widget.grab().save(path);
}

bool PortFreeOnAllAddresses(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return free;
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

  {
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
  }

  // A TCP server in ASCII on the port the README's example uses (any free one if it is taken),
  // with one loopback client that greets it and reads the answer.
  const int port = PortFreeOnAllAddresses(6000) ? 6000 : testing_support::FreeLoopbackPort();
  ini.writeInteger("ComSet", "Style", 1);
  ini.writeInteger("ComSet", "SPort", port);
  ini.writeInteger("ComSet", "SendStyle", 1);
  ini.writeInteger("ComSet", "ReceiveStyle", 1);
  app::TfrmZh window(app::AppContext{files, prompts, shell});
  window.resize(760, 520);
  window.show();
  {
    dialogs::TfrmComSet settings(&window, window, prompts, files);
    settings.show();
    save(settings, out + "/settings-tcp.png");
  }
  window.Controls().BtnOpenCom->trigger();
  testing_support::LoopbackPeer client = testing_support::LoopbackPeer::Connect(port);
  QTest::qWait(200);
  client.write("HELLO 设备 01");
  QTest::qWait(200);
  window.Controls().Memo2->setPlainText("OK 服务端已收到");
  window.Controls().BtnSend1->click();
  client.read(21);
  client.write("STATUS 温度=23.5 电压=3.30");
  QTest::qWait(200);
  save(window, out + "/tcp-server.png");
  return 0;
}
