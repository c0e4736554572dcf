#pragma once
// Turns SIGINT and SIGTERM into a call on the event loop.
#include <functional>

namespace orva {

// Installs the handlers once; `onSignal` runs on the event loop thread for
// every signal that arrives.
void OnTerminationSignal(std::function<void()> onSignal);

}  // namespace orva
