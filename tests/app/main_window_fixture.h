#pragma once
// A main window on its own temporary directory, with the message boxes, file dialogs and the
// desktop shell answered by fakes.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "textview/text_view.h"
#include "app/main_window.h"
#include "app/serial_channel_port.h"
#include "app/status_panels.h"
#include "app/tcp_client_channel_port.h"
#include "app/tcp_server_channel_port.h"
#include "widgets/integer_spin_edit.h"
#include "store/ini_file.h"
#include "support/fake_prompts.h"
#include "support/temp_dir.h"

class MainWindowTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  testing_support::FakePrompts prompts;
  testing_support::FakeShell shell;
  store::AppFiles files{dir.path()};
  std::unique_ptr<app::TfrmZh> window;

  store::IniFile comset() const { return store::IniFile(files.comsetIni()); }

  app::TfrmZh& start() {
    window = std::make_unique<app::TfrmZh>(app::AppContext{files, prompts, shell});
    window->show();
    return *window;
  }

  QString panel(int index) const { return window->Panels().text(index); }
  const app::MainWindowControls& ui() const { return window->Controls(); }

  QStringList logLines() const {
    QStringList lines;
    const textview::TextDocument& log = ui().Memo1->document();
    for (int line = 0; line < log.lineCount(); ++line) {
      if (!log.lineText(line).isEmpty()) lines << log.lineText(line);
    }
    return lines;
  }

  QColor lineColour(int index) const {
    return ui().Memo1->document().lineColour(index);
  }

  bool waitForLogLines(int count, int ms = 5000) const {
    return QTest::qWaitFor([&] { return logLines().size() >= count; }, ms);
  }

  // Runs a command that shows a modal dialog and, once the dialog is up, hands it to `answer`,
  // which closes it as the user would. False when no modal Dialog came up. A dialog that
  // `answer` left open is closed here and fails the test, so a test cannot hang in it.
  template <class Dialog>
  static bool answerModal(const std::function<void()>& command,
                          const std::function<void(Dialog&)>& answer) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      seen = true;
      answer(*dialog);
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog stayed open";
        dialog->done(QDialog::Rejected);
      }
    });
    poll.start();
    command();
    return seen;
  }

  // Replaces a spin edit's text as the user would: all of it selected, then the new text typed
  // over it (an empty text erases the field).
  static void typeInto(QAbstractSpinBox& field, const QString& text) {
    field.selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(&field, Qt::Key_Backspace);
    } else {
      QTest::keyClicks(&field, text);
    }
  }
};
