#pragma once
// A progress line on standard error: redrawn in place with "\r" on a terminal, written as whole
// lines (at most about once a second) when standard error is a file or a pipe, so that logs stay
// readable.

#include <chrono>
#include <cstdint>
#include <string>

namespace capture {

class ProgressLine {
public:
    ProgressLine();
    // Shows text now when due (a second after the last one), or always when forced.
    void Show(const std::string& text, bool force = false);
    // A message of its own: the progress line is ended first so the two do not mix.
    void Message(const std::string& text);
    // Ends a progress line that is on screen, so that what follows starts on a new line.
    void Finish();
    bool Due() const;

private:
    bool FTerminal;
    bool FOnScreen = false; // a "\r" line that no newline ended yet
    std::size_t FWidth = 0;
    std::chrono::steady_clock::time_point FLast; // the first line is due a second after the start
};

// "1.50 MB" style sizes in powers of 1024 with two decimals; plain bytes below 1 KiB.
std::string HumanBytes(double bytes);

} // namespace capture
