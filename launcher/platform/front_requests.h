#pragma once
// How a second launcher asks the running one to come to the front: the
// first copy listens on a local socket beside its single-copy lock file, and
// the second connects to it once. Only the copy that holds the lock listens,
// so a socket file left by a crashed copy is simply replaced.

#include <string>

namespace velrix::launcher {

// "<folder>/KAV-Qz-Setup-Launcher.socket" for the lock file
// "<folder>/KAV-Qz-Setup-Launcher.lock".
std::string FrontRequestPath(const std::string& lockPath);

// A non-blocking listening socket at the path, or -1 when it cannot be made
// (the second copy then just cannot bring this one to the front).
int ListenForFrontRequests(const std::string& path);

// Accepts and closes every waiting request; true when there was one.
bool TakeFrontRequests(int listener);

// Closes the socket and removes its file.
void StopListening(int listener, const std::string& path);

// The second copy's request; false when no copy listens.
bool SendFrontRequest(const std::string& path);

}  // namespace velrix::launcher
