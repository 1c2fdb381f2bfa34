#pragma once
// What the soak measures of its own process: memory, open file descriptors, live windows of
// the window layer and live Qt timers.

#include <QObject>
#include <cstdint>
#include <set>
#include <utility>

namespace soak {

// Resident set in bytes, read after handing freed heap back to the system, so that what is
// measured is memory in use rather than what the allocator keeps cached for later.
std::uint64_t ResidentBytes();
std::uint64_t PeakResidentBytes(); // the high-water mark of the resident set

// Whether the resident set follows memory in use: AddressSanitizer holds freed memory in its
// quarantine, so under it the resident set only grows and says nothing about leaks.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool ResidentSetFollowsUse = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool ResidentSetFollowsUse = false;
#else
inline constexpr bool ResidentSetFollowsUse = true;
#endif
#else
inline constexpr bool ResidentSetFollowsUse = true;
#endif

int OpenFdCount(); // entries of /proc/self/fd, without the one used to list them

// Qt offers no process-wide list of timers. This counts the timers registered for every object
// it can reach (the application's and every widget's object trees) and for every object whose
// timer has fired since the last count, which catches timers of objects outside those trees
// (a timer member of a widget, a component's connect timer) as soon as they run once.
class TimerWatch : public QObject {
public:
    TimerWatch(); // watches the application's events; create after the application
    ~TimerWatch() override;
    int LiveTimers();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::set<std::pair<const QObject*, int>> FFired;
};

struct Counts {
    int fds = 0;
    int windows = 0;
    int timers = 0;
    bool operator<=(const Counts& o) const {
        return fds <= o.fds && windows <= o.windows && timers <= o.timers;
    }
};

Counts Snapshot(TimerWatch& timers);

} // namespace soak
