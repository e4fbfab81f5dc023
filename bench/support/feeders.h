#pragma once
// What feeds the benchmarks' data: the byte stream the feeders and the big messages send, a
// writer that gets all of it out, a paced feeder, and the child process a feeder runs in, so
// its CPU is not counted in the figures of the process under test.

#include <sys/types.h>

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <functional>

namespace bench_support {

// Runs `body` in a forked child, which then exits; the child's id.
pid_t spawn(const std::function<void()>& body);

// Bytes of every value in a fixed order.
QByteArray streamBytes(qsizetype size);

// Writes all of `data`, waiting in poll for room when the descriptor is non-blocking. A failure
// is reported on stderr and ends the write (false).
bool writeAll(int fd, const char* data, size_t size);

// Sends `total` bytes at `rate` bytes per second (0: as fast as it goes), in 10 ms slices; stops
// early when a write fails.
void feed(int fd, qint64 total, double rate);

}  // namespace bench_support
