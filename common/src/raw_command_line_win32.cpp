#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "qzr/common/command_line.h"

namespace qzr {

const char* RawCommandLine() { return GetCommandLineA(); }

// A Windows file name cannot hold a quote, so quotes around the whole tail are never part of it.
TailQuotes PlatformTailQuotes() { return TailQuotes::kEnclosingPairRemoved; }

}  // namespace qzr
