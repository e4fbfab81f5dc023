#include "store/message_list_file.h"

#include <QFileInfo>
#include <algorithm>

#include "platform/file_read_posix.h"
#include "platform/file_replace_posix.h"
#include "store/comma_text.h"
#include "store/file_io_error.h"
#include "store/ini_file.h"
#include "store/integer_text.h"
#include "store/list_text_encoding.h"

namespace store {
namespace {

const QString kSection = QStringLiteral("DefineSend");
const QString kKey = QStringLiteral("SendFileName");
constexpr int kCountWhenUnreadable = 2;

// Hands out the lines of a file, each without its LF and the CR before it; past the end every
// line reads as empty.
class LineReader {
 public:
  explicit LineReader(QByteArray text) : text_(std::move(text)) {}

  QByteArrayView next() {
    if (pos_ >= text_.size()) return {};
    qsizetype lf = text_.indexOf('\n', pos_);
    const qsizetype end = lf < 0 ? text_.size() : lf;
    QByteArrayView line(text_.constData() + pos_, end - pos_);
    pos_ = end + 1;
    if (line.endsWith('\r')) line.chop(1);
    return line;
  }

  qsizetype linesLeft() const {
    if (pos_ >= text_.size()) return 0;
    const qsizetype lfs = std::count(text_.cbegin() + pos_, text_.cend(), '\n');
    return text_.endsWith('\n') ? lfs : lfs + 1;
  }

 private:
  QByteArray text_;
  qsizetype pos_ = 0;
};

int rowCountFor(QByteArrayView countLine, qsizetype rowLinesPresent) {
  const int count = ParseInteger(countLine).value_or(kCountWhenUnreadable);
  const qsizetype allowed = rowLinesPresent + 1 + kMaxRowsBeyondFile;
  return static_cast<int>(std::clamp<qsizetype>(count, 1, allowed));
}

void loadBlock(GridAccess& grid, LineReader& lines) {
  const QByteArrayView countLine = lines.next();
  grid.setRowCount(rowCountFor(countLine, lines.linesLeft()));
  for (int r = 1; r < grid.RowCount(); ++r) {
    QStringList fields;
    for (const QByteArray& field : SplitCommaText(lines.next())) {
      fields.append(QString::fromUtf8(field));
    }
    grid.setRowFields(r, fields);
  }
}

QByteArray rowLine(const GridAccess& grid, int row) {
  QList<QByteArray> cells;
  for (int c = 0; c < grid.ColCount(); ++c) cells.append(grid.Cells(c, row).toUtf8());
  return JoinCommaText(cells);
}

void throwIfFailed(const std::optional<platform::SystemError>& failure) {
  if (failure) throw FileIoError(*failure);
}

}  // namespace

void LoadGridsFromFile(const std::vector<GridAccess*>& grids, const QString& fileName,
                       const QString& defaultName, const AppFiles& files) {
  QString name = fileName;
  if (!QFileInfo::exists(name)) {
    name = files.settingsDir + u'/' + defaultName;
    // The user's own copy is made by the first save; until then the installed one is read.
    const QString shipped = files.shippedFile(defaultName);
    if (!QFileInfo::exists(name) && QFileInfo::exists(shipped)) {
      name = shipped;
    } else if (!QFileInfo::exists(name)) {
      throwIfFailed(platform::createFileIfMissing(name));
    }
  }
  QByteArray raw;
  throwIfFailed(platform::readFileWhole(name, raw));
  LineReader lines(ListTextAsUtf8(raw));
  for (GridAccess* grid : grids) loadBlock(*grid, lines);
}

void SaveGridsToFile(const std::vector<GridAccess*>& grids, const QString& fileName) {
  static constexpr char kLineEnd[] = "\r\n";
  QByteArray content;
  for (const GridAccess* grid : grids) {
    content.append(QByteArray::number(grid->RowCount())).append(kLineEnd);
    for (int r = 1; r < grid->RowCount(); ++r) content.append(rowLine(*grid, r)).append(kLineEnd);
  }
  // Text that would read as GBK without a mark (names in Hebrew, say) is marked as UTF-8, so
  // every list reads back as it was saved.
  if (ListTextAsUtf8(content) != content) content.prepend(kUtf8Mark);
  throwIfFailed(platform::replaceFileWhole(fileName, content));
}

void NumberGridRows(GridAccess& grid) {
  grid.setCells(0, 0, QString());
  for (int r = 1; r < grid.RowCount(); ++r) grid.setCells(0, r, QString::number(r));
}

void FitGridColumns(GridAccess& grid, const std::vector<int>& columns) {
  static constexpr int kMargin = 20;
  for (const int c : columns) {
    int width = grid.TextWidth(grid.ColumnTitle(c));
    for (int r = 1; r < grid.RowCount(); ++r)
      width = std::max(width, grid.TextWidth(grid.Cells(c, r)));
    grid.setColWidths(c, width + kMargin);
  }
}

void ClearGridColumns(GridAccess& grid, const std::vector<int>& columns) {
  for (const int c : columns) {
    for (int r = 0; r < grid.RowCount(); ++r) grid.setCells(c, r, QString());
  }
}

QString CurrentSendFileName(const AppFiles& files) {
  const IniFile ini(files.comsetIni());
  const QString fallback = files.defaultSendFile();
  const QString name = ini.readString(kSection, kKey, fallback);
  if (QFileInfo::exists(name)) return name;
  ini.writeString(kSection, kKey, fallback);
  return fallback;
}

void StoreSendFileName(const AppFiles& files, const QString& fileName) {
  IniFile(files.comsetIni()).writeString(kSection, kKey, fileName);
}

}  // namespace store
