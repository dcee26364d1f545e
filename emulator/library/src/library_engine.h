#pragma once

#include "qzr/emulator_engine/engine.h"

// The one engine behind the library's entries, and how its threads are tied to the library's
// lifetime; CMake picks the file (library_engine_posix.cpp, library_engine_win32.cpp).
namespace qzr::emulator {

Engine& LibraryEngine();

// Called after the output started and after X68Sound_Free stopped it: where unloading cannot
// stop the threads, the library stays loaded while they run.
void OutputStarted();
void OutputStopped();

}  // namespace qzr::emulator
