#pragma once
// What a worker thread sets on itself when it starts, each best effort: its name (seen in
// /proc/self/task/*/comm, 15 characters at most), its scheduling priority and its timer slack.

namespace platform {

void nameCurrentThread(const char* name);
// Raises the calling thread's priority by `steps` nice levels where the program may.
void raiseCurrentThreadPriority(int steps);
// Timer slack of the calling thread down from 50 us to 1 ns: a gap time-out ends on time.
void usePreciseTimers();

}  // namespace platform
