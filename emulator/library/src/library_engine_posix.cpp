#include "library_engine.h"

namespace qzr::emulator {

namespace {
// Destroyed when the library is unloaded (or the process ends), which stops the output and
// joins its threads as X68Sound_Free does.
Engine gEngine;
}  // namespace

Engine& LibraryEngine() { return gEngine; }

void OutputStarted() {}
void OutputStopped() {}

}  // namespace qzr::emulator
