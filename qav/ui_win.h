// The message pump: the long loops yield through it, the program ends in it.
#pragma once

namespace qav::win {

// Handles every pending window event, then returns. False once the program
// has been asked to quit (the quit message is kept for the main loop).
bool pumpMessages();

// Runs until the quit message; returns its exit code.
int runMessageLoop();

}  // namespace qav::win
