#pragma once

#include "service/error.h"

#include <functional>

namespace orvelle {

// Thrown by WaitForNetwork when the program is closing while a request waits: the request has
// been abandoned, and the sequence that waited for it is to end without doing anything more.
class RequestAbandoned : public Error {
 public:
  RequestAbandoned() : Error(QStringLiteral("Request abandoned")) {}
};

// Runs `request` (a blocking network request) on a worker thread and waits for it on the
// user-interface thread without freezing the windows: paint events, timers, window-system
// events and posted calls go on, while user input (clicks, keys, wheel) is held in the queue
// until the caller has returned to the event loop. The toolkit's timers hold their ticks
// meanwhile (Timer::TickHold), so a countdown step never runs inside the waiting sequence.
//
// Requests run one at a time: a wait started by a handler that runs during another wait
// queues its request behind the first one.
//
// Returns when the request has ended, passing on its exception. When the event loop is told
// to end while waiting (the main window closed), `abandon` is called from the user-interface
// thread until the request ends (it must make the request fail quickly and be callable from
// there, HttpClient::Abort does both), and RequestAbandoned is thrown.
void WaitForNetwork(const std::function<void()>& request, const std::function<void()>& abandon);

}  // namespace orvelle
