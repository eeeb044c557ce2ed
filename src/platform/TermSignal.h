#pragma once
// SIGTERM and SIGINT end the program through its normal exit path (settings saved, work
// folder removed) instead of killing it: the signal handler only writes to a pipe that the
// event loop watches.
#include <functional>

// Installs the handlers once the application object exists; onSignal runs on the thread that called
// this, in its event loop.
void InstallTerminationHandler(std::function<void()> onSignal);
