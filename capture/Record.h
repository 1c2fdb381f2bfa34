#pragma once
// kelvor-capture record: the station's stream into a recording, through the monitor's own
// client socket component and read path, on an event loop without a desktop.

#include "capture/Command.h"

namespace capture {

// Runs until Ctrl-C, the station's close, a reset or a failure; the exit status.
int Record(const RecordOptions& options);

} // namespace capture
