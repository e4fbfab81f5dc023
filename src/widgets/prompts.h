#pragma once
// The one seam through which every modal message box and file dialog of the program goes.
// The program uses QtPrompts; tests put in their own answers, so every dialog flow runs without
// a person.

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

namespace widgets {

enum class PromptIcon { None, Information, Question, Warning, Error };  // None: a plain box

struct FileDialogRequest {
  QString caption;
  QString directory;      // start directory; empty for the dialog's own choice
  QString proposedName;   // file name preset in the name field
  QString filter;         // Qt filter text, "description (patterns)"
  QString defaultSuffix;  // appended when the typed name has none
  // The save dialog asks before it takes a file that exists.
  bool confirmOverwrite = true;
};

class Prompts {
 public:
  virtual ~Prompts() = default;

  // Shows a modal message box and returns the button chosen.
  virtual QMessageBox::StandardButton messageBox(QWidget* parent, PromptIcon icon,
                                                 const QString& caption, const QString& text,
                                                 QMessageBox::StandardButtons buttons) = 0;
  // The chosen file's full name, or nothing when the user cancels. Neither dialog requires the
  // file to exist: a typed name is taken as it stands.
  virtual std::optional<QString> saveFileName(QWidget* parent,
                                              const FileDialogRequest& request) = 0;
  virtual std::optional<QString> openFileName(QWidget* parent,
                                              const FileDialogRequest& request) = 0;
};

class QtPrompts final : public Prompts {
 public:
  // File dialogs whose request names no start directory start in `defaultDirectory`.
  explicit QtPrompts(QString defaultDirectory = {})
      : defaultDirectory_(std::move(defaultDirectory)) {}

  QMessageBox::StandardButton messageBox(QWidget* parent, PromptIcon icon, const QString& caption,
                                         const QString& text,
                                         QMessageBox::StandardButtons buttons) override;
  std::optional<QString> saveFileName(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QString> openFileName(QWidget* parent, const FileDialogRequest& request) override;

 private:
  FileDialogRequest withStartDirectory(FileDialogRequest request) const;

  QString defaultDirectory_;
};

// The caption of the program's own notices and questions.
inline const QString kNoticeCaption = QStringLiteral("系统提示！");

// An information box with an OK button under "系统提示！".
void ShowNotice(Prompts& prompts, QWidget* parent, const QString& text);

}  // namespace widgets
