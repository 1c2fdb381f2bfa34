#pragma once
// kelvor-capture export: a recording as the bit lines the monitor would have shown for it,
// written as the monitor saves its view (rich text) or as plain text lines.

#include "capture/Command.h"

namespace capture {

// The exit status; failures of the recording or the output throw.
int Export(const ExportOptions& options);

} // namespace capture
