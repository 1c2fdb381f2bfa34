#pragma once
// Queued delivery of the stand-in's notifications as window messages.

#include "platform/window/Window.h"

#include <functional>

namespace winsockdelivery {

// Asked on the UI thread just before delivery; false drops the message (a closed socket, a
// cancelled lookup). It may fill in lParam (a lookup's result length).
using Prepare = std::function<bool(LPARAM& lParam)>;

// Queues msg for hwnd from any thread. On the UI thread, in posting order, prepare is asked
// first, then the message is sent to the window's procedure. Exceptions that escape go to the
// window layer's unhandled-exception sink.
void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Prepare prepare);

} // namespace winsockdelivery
