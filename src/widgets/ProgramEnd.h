#pragma once

#include <functional>

namespace hondana {

// Ends the program at once: every window goes without being asked (no close handlers run, so
// nothing is asked or saved), the connections to the catalogue and the version database close,
// and the event loop ends. The windows themselves are destroyed by the event loop's clean-up,
// which also closes their own connections (see finishProgram).
void endProgram();

// Destroys what endProgram left for the event loop to delete. main calls it after the loop.
void finishProgram();

// Whether endProgram has run since the start (or the last setEventLoopExit).
bool programEnded();

// Replaces how endProgram leaves the event loop, so a test can watch the program end and go on
// running; an empty function brings back the real exit. Also clears programEnded().
void setEventLoopExit(std::function<void()> exit);

} // namespace hondana
