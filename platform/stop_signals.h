#pragma once
// SIGTERM and SIGINT as a readable file descriptor, so an event loop can close
// the program the same way the window's close button does instead of dying in
// the middle of a data file.

namespace velrix {

// Installs the handlers (once) and returns a descriptor that becomes readable
// when either signal arrives; -1 if the pipe cannot be made.
int StopSignalDescriptor();

// Reads what the handler wrote, so the descriptor is quiet again.
void DrainStopSignal(int fd);

}  // namespace velrix
