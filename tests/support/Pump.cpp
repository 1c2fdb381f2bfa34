#include "tests/support/Pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace testsupport {

namespace {
// Sleeps in the event loop for at most a few milliseconds, waking for any event.
void WaitBriefly() {
    QEventLoop loop;
    QTimer::singleShot(2, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= limit.count())
            return condition();
        WaitBriefly();
    }
    return true;
}

void PumpPending(std::chrono::milliseconds span) {
    QElapsedTimer timer;
    timer.start();
    do {
        WaitBriefly();
    } while (timer.elapsed() < span.count());
}

} // namespace testsupport
