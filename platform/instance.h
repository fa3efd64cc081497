// The single-instance channel behind a named mutex: the process that created
// the mutex first listens on its name, and a later process can ask it to
// bring its window to the front. Used by the UI backend, not by the program.
#pragma once

#include <functional>

namespace platform {

// Called on a background thread of the first instance when a later one asks.
void SetActivateHandler(std::function<void()> handler);

// Asks the process holding the named mutex to come forward; false when no
// process holds it.
bool ActivateOtherInstance(const char* mutexName);

}  // namespace platform
