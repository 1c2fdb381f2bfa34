// Program entry: checks for a display, then initialises the application, creates the main
// window from its form data and runs the message loop until the window closes.

#include "app/Main.h"
#include "feed/FeedListener.h"
#include "feed/FeedPaths.h"
#include "framework/Application.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true; // the caller chose a platform (offscreen, xcb under Xvfb, ...)
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int main() {
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "kelvor-monitor: no display found (DISPLAY and WAYLAND_DISPLAY are "
                             "unset); start it from a desktop session or under xvfb-run\n");
        return 1;
    }
    TApplication application;
    application.Initialize();
    application.CreateForm(Form1);
    // Other programs of the same user may feed the view; without the socket (another monitor
    // holds it, or its folder is not private) the monitor works as before.
    feedsocket::FeedListener feed([] {
        const TKelvorEdit20* view = Form1 ? Form1->KelvorEdit201 : nullptr;
        return view && view->HandleAllocated() ? Form1->KelvorEdit201->Handle() : nullptr;
    });
    if (!feed.Listen(feedsocket::DefaultSocketPath()))
        std::fprintf(stderr, "kelvor-monitor: no feed socket for other programs: %s\n",
                     feed.ErrorText().c_str());
    application.Run();
    return 0;
}
