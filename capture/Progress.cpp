#include "capture/Progress.h"

#include <cstdio>
#include <unistd.h>

namespace capture {

ProgressLine::ProgressLine()
    : FTerminal(::isatty(STDERR_FILENO) == 1), FLast(std::chrono::steady_clock::now()) {}

bool ProgressLine::Due() const {
    return std::chrono::steady_clock::now() - FLast >= std::chrono::seconds(1);
}

void ProgressLine::Show(const std::string& text, bool force) {
    if (!force && !Due())
        return;
    FLast = std::chrono::steady_clock::now();
    if (FTerminal) {
        // Blanks over what a longer previous line left behind.
        const std::string pad = text.size() < FWidth ? std::string(FWidth - text.size(), ' ') : "";
        std::fprintf(stderr, "\r%s%s", text.c_str(), pad.c_str());
        FWidth = text.size();
        FOnScreen = true;
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

void ProgressLine::Message(const std::string& text) {
    Finish();
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void ProgressLine::Finish() {
    if (FOnScreen) {
        std::fputc('\n', stderr);
        FOnScreen = false;
        FWidth = 0;
    }
}

std::string HumanBytes(double bytes) {
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return std::to_string(static_cast<long long>(bytes)) + " bytes";
    int unit = -1;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %s", bytes, units[unit]);
    return text;
}

} // namespace capture
