#pragma once
// The communication settings dialog: the channel kind and its parameters, the send and receive
// representations and opening at start-up. It shows what comset.ini holds each time it is
// shown, writes it all back on confirm and offers to open the channel at once; going back
// writes nothing. It never touches a channel itself: opening goes through the main window.
// A confirm whose baud rate or data bits are not integers reports the error before anything
// is written or refreshed, and the dialog stays open for correction.
// The character set of text on the wire sits with the representations; a stored one it does
// not list is written back as stored unless the user picks another.

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

#include "dialogs/channel_commands.h"
#include "store/app_files.h"
#include "store/comset_settings.h"
#include "widgets/prompts.h"

class QRadioButton;
namespace Ui {
class TfrmComSet;
}

namespace dialogs {

class TfrmComSet : public QDialog {
  Q_OBJECT

 public:
  // The port list is read from `sysfsRoot` and `devRoot` once, at creation.
  TfrmComSet(QWidget* parent, ChannelCommands& main, widgets::Prompts& prompts,
             const store::AppFiles& files, QString sysfsRoot = QStringLiteral("/sys"),
             QString devRoot = QStringLiteral("/dev"));
  ~TfrmComSet() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate(const QString& sysfsRoot, const QString& devRoot);
  void FormShow();
  void RbtnSetClick(const QRadioButton& button);
  void BtnSendClick();
  void BtnSelClick();
  QRadioButton* selectedKindButton() const;
  void showSettings(const store::ComSetSettings& settings);
  // What the dialog shows, as it is stored; throws when the baud rate or the data bits are not
  // integers.
  store::ComSetSettings chosenSettings() const;

  std::unique_ptr<Ui::TfrmComSet> ui_;
  ChannelCommands& main_;
  widgets::Prompts& prompts_;
  store::AppFiles files_;
  std::optional<QString> storedTextCodec_;  // TextCodec as the file held it when shown
  int shownTextCodec_ = -1;                 // the entry of cmbTextCodec chosen then
};

}  // namespace dialogs
