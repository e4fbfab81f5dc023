#pragma once
// One column of a message grid: its title and how its cells are shown and edited. A grid keeps
// exactly one column per grid column. Colour, font and read-only left unset follow the grid.

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class QMenu;

namespace widgets {

enum class TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };
enum class TColumnFormat { cfString, cfNumber, cfDate };

struct TColumnTitle {
  Qt::Alignment Alignment = Qt::AlignLeft;
  QString Caption;  // empty: the title cell shows its own text
  std::optional<QFont> Font;
};

class TColumn {
 public:
  explicit TColumn(int internalCol = 0) : internalCol_(internalCol) {}

  QString EditMask;   // a QLineEdit input mask
  int MaxLength = 0;  // 0: no limit
  bool LimitToList = false;
  Qt::Alignment Alignment = Qt::AlignLeft;
  TColumnButtonStyle ButtonStyle = TColumnButtonStyle::cbsAuto;
  std::optional<QColor> Color;
  unsigned DropDownRows = 7;
  std::optional<QFont> Font;
  QStringList PickList;
  QPointer<QMenu> PopupMenu;
  std::optional<bool> ReadOnly;  // unset: read-only exactly when the grid does not edit
  TColumnTitle Title;
  QString DisplayMask;  // display format of cfNumber and cfDate cells

  TColumnFormat Format() const { return format_; }
  // A new format makes the old display mask meaningless, so it is emptied.
  void setFormat(TColumnFormat format) {
    format_ = format;
    DisplayMask.clear();
  }
  int InternalCol() const { return internalCol_; }

  // Forgets what was set of the look (colour, font, alignment, read-only, the title), the pick
  // list and the button style; masks, limits, format and the popup menu stay.
  void RestoreDefaults() {
    const TColumn defaults(internalCol_);
    Alignment = defaults.Alignment;
    ButtonStyle = defaults.ButtonStyle;
    Color = defaults.Color;
    Font = defaults.Font;
    PickList = defaults.PickList;
    ReadOnly = defaults.ReadOnly;
    Title = defaults.Title;
  }

 private:
  TColumnFormat format_ = TColumnFormat::cfString;
  int internalCol_;
};

}  // namespace widgets
