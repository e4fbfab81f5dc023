#include "dialogs/serial_port_list.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QComboBox>

namespace dialogs {
namespace {

// An editable combo box puts an entry's edit text into its box and shows its display text in
// the list: the two differ here.
class PortListModel final : public QAbstractListModel {
 public:
  PortListModel(std::vector<platform::SerialPortEntry> ports, QObject* parent)
      : QAbstractListModel(parent), ports_(std::move(ports)) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(ports_.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount({})) return {};
    const platform::SerialPortEntry& port = ports_[static_cast<size_t>(index.row())];
    switch (role) {
      case Qt::EditRole:
        return port.path;
      case Qt::DisplayRole:
      case Qt::ToolTipRole:
        return port.description.isEmpty() ? port.path
                                          : port.path + QStringLiteral(" — ") + port.description;
      default:
        return {};
    }
  }

 private:
  std::vector<platform::SerialPortEntry> ports_;
};

}  // namespace

void FillSerialPortList(QComboBox& list, std::vector<platform::SerialPortEntry> ports) {
  list.setModel(new PortListModel(std::move(ports), &list));  // deletes the model it had
  // The list may be wider than the box: the by-id names are long.
  QAbstractItemView& view = *list.view();
  view.setTextElideMode(Qt::ElideNone);
  view.setMinimumWidth(view.sizeHintForColumn(0) + 2 * view.frameWidth());
}

}  // namespace dialogs
