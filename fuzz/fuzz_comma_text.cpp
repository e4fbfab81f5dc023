// Comma-text reader and writer. The input's first byte is a separator that cuts the rest into
// cells (so any other byte value can appear inside a cell): the row JoinCommaText writes must
// split back into exactly those cells. The rest is also read as a line as it stands: reading
// arbitrary bytes must not crash, and writing the fields read and reading them again gives
// the same fields.
#include <cstdint>
#include <cstdlib>

#include "store/comma_text.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char separator = static_cast<char>(data[0]);
  const QByteArray rest(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));

  // A row of no cells and a row of one empty cell both come from an empty rest.
  QList<QByteArray> cells = rest.split(separator);
  if (rest.isEmpty() && separator % 2 == 0) cells.clear();
  require(store::SplitCommaText(store::JoinCommaText(cells)) == cells);

  const QList<QByteArray> fields = store::SplitCommaText(rest);
  require(store::SplitCommaText(store::JoinCommaText(fields)) == fields);
  return 0;
}
