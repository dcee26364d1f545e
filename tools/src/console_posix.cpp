#include <unistd.h>

#include "qzr/tools/console.h"

namespace qzr::tools {

bool IsAnsiTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void UseBinaryStandardOutput() {}

}  // namespace qzr::tools
