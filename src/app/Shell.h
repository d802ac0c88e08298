#pragma once

namespace hondana {

// Registers the windows of the start-up and shell subsystem (MainMenu, AgreementWindow, AboutBox).
void registerShellWindows();

// Registers every window of the program, so each screen finds the others by name.
void registerAllWindows();

// Runs the start-up decision in the current directory and shows the first window. When start-up
// cannot go on, shows its one message and returns false with no window open.
bool startProgram();

} // namespace hondana
