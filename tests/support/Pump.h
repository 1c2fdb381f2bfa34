#pragma once
// Runs the Qt event loop until a condition holds or a time limit passes; tests use this
// instead of fixed sleeps.

#include <chrono>
#include <functional>

namespace testsupport {

// Returns true as soon as condition() holds, false when the limit passed first.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Processes whatever is queued now (posted messages, socket notifications), for a short while.
void PumpPending(std::chrono::milliseconds span = std::chrono::milliseconds(20));

} // namespace testsupport
