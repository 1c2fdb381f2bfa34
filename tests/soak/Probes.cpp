#include "tests/soak/Probes.h"

#include "platform/window/Window.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTimerEvent>
#include <QWidget>
#include <dirent.h>
#include <fstream>
#include <malloc.h>
#include <string>
#include <unistd.h>

namespace soak {

namespace {

std::uint64_t StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        std::uint64_t kb = 0;
        if (key == name + ":" && status >> kb)
            return kb * 1024;
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

bool IsRegistered(const QObject* object, int timerId) {
    auto* dispatcher = QAbstractEventDispatcher::instance();
    // The dispatcher only compares the pointer; the object itself is not touched, so an
    // object deleted since its timer fired is simply no longer found.
    const auto timers = dispatcher->registeredTimers(const_cast<QObject*>(object));
    return std::any_of(timers.begin(), timers.end(),
                       [&](const auto& t) { return t.timerId == timerId; });
}

} // namespace

std::uint64_t ResidentBytes() {
    ::malloc_trim(0);
    return StatusField("VmRSS");
}

std::uint64_t PeakResidentBytes() {
    return StatusField("VmHWM");
}

int OpenFdCount() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count - 1;
}

TimerWatch::TimerWatch() {
    QCoreApplication::instance()->installEventFilter(this);
}

TimerWatch::~TimerWatch() {
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool TimerWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Timer)
        FFired.emplace(watched, static_cast<QTimerEvent*>(event)->timerId());
    return false;
}

int TimerWatch::LiveTimers() {
    std::set<std::pair<const QObject*, int>> live;
    auto* dispatcher = QAbstractEventDispatcher::instance();
    const auto addTree = [&](QObject* root) {
        QList<QObject*> objects = root->findChildren<QObject*>();
        objects.push_back(root);
        for (QObject* o : objects)
            for (const auto& t : dispatcher->registeredTimers(o))
                live.emplace(o, t.timerId);
    };
    addTree(QCoreApplication::instance());
    for (QWidget* w : QApplication::topLevelWidgets())
        addTree(w);
    for (auto it = FFired.begin(); it != FFired.end();) {
        if (IsRegistered(it->first, it->second)) {
            live.insert(*it);
            ++it;
        } else {
            it = FFired.erase(it);
        }
    }
    return static_cast<int>(live.size());
}

Counts Snapshot(TimerWatch& timers) {
    return Counts{OpenFdCount(), LiveWindowCount(), timers.LiveTimers()};
}

} // namespace soak
