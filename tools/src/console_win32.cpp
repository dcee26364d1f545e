#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// the C runtime's descriptors, after windows.h
#include <fcntl.h>
#include <io.h>

#include "qzr/tools/console.h"

namespace qzr::tools {

bool IsAnsiTerminal(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0 || _isatty(descriptor) == 0) return false;
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
    // Windows 10's console takes the sequences once asked; an older one refuses.
    constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
    return (mode & kVirtualTerminal) != 0 || SetConsoleMode(console, mode | kVirtualTerminal) != 0;
}

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace qzr::tools
