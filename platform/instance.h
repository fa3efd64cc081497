// The single-instance channel behind a named mutex: the process that created
// the mutex first listens on its name, and a later process can send it a
// short request (to bring its window forward). Used by the UI backend, not
// by the program.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Called on a background thread of the first instance with each request.
void SetActivateHandler(std::function<void(const std::string& request)> handler);

// Sends a request to the process holding the named mutex; false when no
// process holds it.
bool ActivateOtherInstance(const char* mutexName, const std::string& request);

// While the thread that installed it waits without a time-out, the pump is
// called with 0 once at the start, with 1 every few milliseconds, and with 2
// at the end: the UI thread keeps showing what a worker asks it to (its
// error box) while it waits for that worker.
void SetWaitPump(std::function<void(int phase)> pump);

// The name of the last named mutex this process found held by another
// process; empty when none.
std::string ContestedMutexName();

}  // namespace platform
