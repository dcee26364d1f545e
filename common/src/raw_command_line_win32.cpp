#include <windows.h>

#include "qzr/common/command_line.h"

namespace qzr {

const char* RawCommandLine() { return GetCommandLineA(); }

}  // namespace qzr
