#pragma once

#include <functional>

// SIGTERM (how a desktop session, `kill` or a service manager ends a program)
// handled on the UI thread: the handler itself only writes a byte into a pipe,
// and a socket notifier on the other end runs `then` from the event loop,
// also inside the loop of an open question. Installed once; a second call
// replaces `then`.
namespace TermSignal {
void Catch(std::function<void()> then);
} // namespace TermSignal
