#pragma once
// Kept apart from the monitor's headers: the platform's socket names clash with the system's.

namespace soak {

// A port on 127.0.0.1 with nothing listening: bound for a moment and released. 0 on failure.
int RefusedPort();

} // namespace soak
