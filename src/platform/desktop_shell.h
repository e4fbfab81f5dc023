#pragma once
// What the program asks of the desktop: open a file or link with the user's default handler,
// and start another program. XdgShell is the real one; tests record the requests instead.

#include <QString>
#include <QStringList>

namespace platform {

class DesktopShell {
 public:
  virtual ~DesktopShell() = default;
  // Opens a file, or a link such as "mailto:" or "https:", with the default handler. The
  // outcome is not reported: the handler shows its own errors.
  virtual void openWithDefaultHandler(const QString& fileOrUrl) = 0;
  // Starts the first of the programs that is installed; false when none is.
  virtual bool startFirstInstalled(const QStringList& programs) = 0;
};

class XdgShell final : public DesktopShell {
 public:
  void openWithDefaultHandler(const QString& fileOrUrl) override;
  bool startFirstInstalled(const QStringList& programs) override;
};

}  // namespace platform
