#pragma once
// A main window on its own temporary directory, with the message boxes, file dialogs and the
// desktop shell answered by fakes.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>
#include <memory>

#include "app/main_window.h"
#include "app/status_panels.h"
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
    for (QTextBlock b = ui().Memo1->document()->begin(); b.isValid(); b = b.next()) {
      if (!b.text().isEmpty()) lines << b.text();
    }
    return lines;
  }

  QColor lineColour(int index) const {
    QTextBlock b = ui().Memo1->document()->findBlockByNumber(index);
    return b.begin().fragment().charFormat().foreground().color();
  }

  bool waitForLogLines(int count, int ms = 5000) const {
    return QTest::qWaitFor([&] { return logLines().size() >= count; }, ms);
  }
};
