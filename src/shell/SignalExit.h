#pragma once

#include <functional>

namespace tessora {

// Turns SIGTERM and SIGINT (the system ending the program, not a person closing it) into a call
// of `onSignal` on the GUI thread, through the event loop.
void CatchTerminationSignals(std::function<void()> onSignal);

}  // namespace tessora
