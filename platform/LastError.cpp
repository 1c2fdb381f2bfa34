// The platform's per-thread "last error" value behind SetLastError / GetLastError.

#include "platform/WinTypes.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

void SetLastError(DWORD code) {
    lastError = code;
}

DWORD GetLastError() {
    return lastError;
}
