#pragma once
// One row of the table `make bench` ends with: each benchmark prints its figures as tagged
// lines, and scripts/bench-report.sh gathers them from every benchmark's output.

#include <cstdio>
#include <string>

// figure: what is measured; goal: the target as text; measured and peer: the figures of this
// run (peer empty when there is none); met: whether the goal holds.
inline void Report(const std::string& figure, const std::string& goal, const std::string& measured,
                   const std::string& peer, bool met) {
    std::printf("@report|%s|%s|%s|%s|%s\n", figure.c_str(), goal.c_str(), measured.c_str(),
                peer.empty() ? "-" : peer.c_str(), met ? "met" : "NOT MET");
    std::fflush(stdout);
}

// printf-style text for a cell.
template <class... Args> std::string Cell(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}
