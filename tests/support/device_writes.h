#pragma once
// Records the byte count of every write(2) the program under test makes to one descriptor, so
// a test can tell how a send was split into write requests. Only a test program linked with
// -Wl,--wrap=write has it: the program's own calls to write() then pass through the recorder
// on their way to the system.

#include <QString>
#include <vector>

namespace testing_support {

// Starts recording the writes to `fd`, forgetting those recorded before; -1 stops recording.
void WatchWritesTo(int fd);
// The byte counts of the writes recorded so far, in call order.
std::vector<size_t> WatchedWriteSizes();
// The descriptor this process holds open on `path` (a device such as /dev/pts/3), or -1.
int OpenDescriptorFor(const QString& path);

}  // namespace testing_support
