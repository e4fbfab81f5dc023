// Loading message-list files made of arbitrary bytes. The first byte chooses how many grids
// (1 to 3) and columns (1 to 4) the load fills; the rest is the file. The load must not crash,
// must keep every grid within the rows the file holds plus the bounded allowance for a damaged
// count line, and grids filled from the file's own lines, saved and loaded again, must come
// back cell for cell.
#include <QDir>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "store/message_list_file.h"
#include "support/memory_grid.h"

namespace {

using testing_support::MemoryGrid;

void require(bool condition) {
  if (!condition) std::abort();
}

const QString& workDir() {
  static const QString dir = [] {
    QByteArray templ = QDir::tempPath().toLocal8Bit() + "/oruvo-fuzz-sen-XXXXXX";
    if (QDir("/dev/shm").exists()) templ = "/dev/shm/oruvo-fuzz-sen-XXXXXX";
    require(::mkdtemp(templ.data()) != nullptr);
    static QByteArray removeAtExit = templ;
    std::atexit([] { QDir(QString::fromLocal8Bit(removeAtExit)).removeRecursively(); });
    return QString::fromLocal8Bit(templ);
  }();
  return dir;
}

std::vector<std::unique_ptr<MemoryGrid>> makeGrids(int count, int cols) {
  std::vector<std::unique_ptr<MemoryGrid>> grids;
  for (int i = 0; i < count; ++i) grids.push_back(std::make_unique<MemoryGrid>(cols));
  return grids;
}

std::vector<store::GridAccess*> pointers(const std::vector<std::unique_ptr<MemoryGrid>>& grids) {
  std::vector<store::GridAccess*> out;
  for (const auto& g : grids) out.push_back(g.get());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int gridCount = 1 + data[0] % 3;
  const int cols = 1 + (data[0] >> 2) % 4;
  const QByteArray content(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
  const store::AppFiles files{workDir()};
  const QString listFile = workDir() + QStringLiteral("/fuzz.sen");
  const QString copyFile = workDir() + QStringLiteral("/copy.sen");
  QFile out(listFile);
  require(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
  require(out.write(content) == content.size());
  out.close();

  const auto grids = makeGrids(gridCount, cols);
  store::LoadGridsFromFile(pointers(grids), listFile, QStringLiteral("default.sen"), files);
  const qsizetype lines = content.count('\n') + 1;
  for (const auto& g : grids) {
    require(g->RowCount() >= 1);
    require(g->RowCount() <= lines + 1 + store::kMaxRowsBeyondFile);
  }

  // Rows beyond the file's own lines are empty and many (a count of 2147483647 gives the whole
  // allowance): the round trip is checked on files that hold their rows, which keeps the
  // fuzzer fast where the formats meet.
  for (const auto& g : grids) {
    if (g->RowCount() > lines + 1) return 0;
  }
  store::SaveGridsToFile(pointers(grids), copyFile);
  const auto again = makeGrids(gridCount, cols);
  store::LoadGridsFromFile(pointers(again), copyFile, QStringLiteral("default.sen"), files);
  for (int i = 0; i < gridCount; ++i) {
    require(again[i]->RowCount() == grids[i]->RowCount());
    for (int r = 1; r < grids[i]->RowCount(); ++r) require(again[i]->row(r) == grids[i]->row(r));
  }
  return 0;
}
