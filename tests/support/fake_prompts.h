#pragma once
// Answers the program's message boxes and file dialogs in tests, and records what was asked.

#include <QList>
#include <deque>
#include <functional>

#include "platform/desktop_shell.h"
#include "widgets/prompts.h"

namespace testing_support {

struct AskedBox {
  widgets::PromptIcon icon;
  QString caption;
  QString text;
  QMessageBox::StandardButtons buttons;
};

class FakePrompts final : public widgets::Prompts {
 public:
  // Answers for the next boxes, in order; when none is queued a box gets its first button.
  std::deque<QMessageBox::StandardButton> buttonAnswers;
  // Answers for the next file dialogs; an empty optional is a cancel.
  std::deque<std::optional<QString>> fileAnswers;
  QList<AskedBox> boxes;
  QList<widgets::FileDialogRequest> fileRequests;

  QMessageBox::StandardButton messageBox(QWidget*, widgets::PromptIcon icon, const QString& caption,
                                         const QString& text,
                                         QMessageBox::StandardButtons buttons) override {
    boxes.append({icon, caption, text, buttons});
    if (onBox) onBox();
    if (!buttonAnswers.empty()) {
      const auto answer = buttonAnswers.front();
      buttonAnswers.pop_front();
      return answer;
    }
    for (int bit = 1; bit != 0; bit <<= 1) {
      if (buttons & bit) return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
  }
  std::optional<QString> saveFileName(QWidget*, const widgets::FileDialogRequest& r) override {
    return nextFile(r);
  }
  std::optional<QString> openFileName(QWidget*, const widgets::FileDialogRequest& r) override {
    return nextFile(r);
  }

  // Called while a box is "up", so a test can look at the window behind it.
  std::function<void()> onBox;

 private:
  std::optional<QString> nextFile(const widgets::FileDialogRequest& r) {
    fileRequests.append(r);
    if (fileAnswers.empty()) return std::nullopt;
    // Taken apart rather than copied whole: GCC 12 falsely warns about the copied optional.
    const bool chosen = fileAnswers.front().has_value();
    const QString name = fileAnswers.front().value_or(QString());
    fileAnswers.pop_front();
    return chosen ? std::optional<QString>(name) : std::nullopt;
  }
};

class FakeShell final : public platform::DesktopShell {
 public:
  QStringList opened;
  QList<QStringList> started;
  bool programInstalled = false;
  void openWithDefaultHandler(const QString& fileOrUrl) override { opened.append(fileOrUrl); }
  bool startFirstInstalled(const QStringList& programs) override {
    started.append(programs);
    return programInstalled;
  }
};

}  // namespace testing_support
