#pragma once

namespace hondana {

// A named step of a long file operation. Does nothing unless the environment variable
// HONDANA_KILL_AT names this step; then the process is killed on the spot (SIGKILL), so tests
// can show that a crash at any step leaves the user's files sound.
void faultpoint(const char *step);

} // namespace hondana
