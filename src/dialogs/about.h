#pragma once
// The About box: product name and version, the running system, the physical memory and the
// processor frequency (measured afresh at every opening, which keeps the GUI thread asleep for
// about 200 ms), and a web and a mail link opened with the desktop's default handler.
// A fact that cannot be had is reported once under "提示"; the box still opens.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "platform/desktop_shell.h"
#include "platform/sysinfo_linux.h"
#include "widgets/prompts.h"

class QLabel;
namespace Ui {
class TAboutfrm;
}

namespace dialogs {

inline const QString kAboutWebAddress = QStringLiteral("https://oruvotarvix.example.com");
inline const QString kAboutMailAddress = QStringLiteral("support@oruvotarvix.example.com");

// Where the box takes the machine's facts from: the running machine, unless a caller puts in
// others (tests do, to see how the box answers facts that cannot be had).
struct MachineFacts {
  std::function<std::optional<double>()> cpuMhz = [] { return platform::MeasureCpuMhz(); };
  std::function<std::variant<std::uint64_t, platform::SystemError>()> physicalMemoryBytes =
      &platform::PhysicalMemoryBytes;
  std::function<std::variant<platform::SystemVersion, platform::SystemError>()> systemVersion = [] {
    return platform::RunningSystemVersion();
  };
};

class TAboutfrm : public QDialog {
  Q_OBJECT

 public:
  TAboutfrm(QWidget* parent, platform::DesktopShell& shell, widgets::Prompts& prompts,
            MachineFacts facts = {});
  ~TAboutfrm() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void fillFacts();
  void lblMouseMove(QLabel& link);
  void lblMouseLeave(QLabel& link);
  void lblMouseDown(const QLabel& link);

  std::unique_ptr<Ui::TAboutfrm> ui_;
  platform::DesktopShell& shell_;
  widgets::Prompts& prompts_;
  MachineFacts facts_;
};

}  // namespace dialogs
