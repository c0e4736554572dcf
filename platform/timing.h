#pragma once
// Millisecond ticks and waits that keep the event loop running.
#include <QtGlobal>

namespace orva {

// Milliseconds since an arbitrary start, monotonic; wraps like a 32-bit tick.
quint32 TickCount();

// Returns after at least `ms` milliseconds; processes pending events, sleeps
// 10 ms, and repeats. Runs at least once, so WaitMs(0) still processes events.
void WaitMs(int ms);

// One step of a polling wait: processes pending events, then sleeps `sleepMs`.
void ProcessEventsAndSleep(int sleepMs);

}  // namespace orva
