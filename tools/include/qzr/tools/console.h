#pragma once

#include <cstdio>

// The terminal side of the platform; CMake picks the file (console_posix.cpp,
// console_win32.cpp).
namespace qzr::tools {

// Whether `stream` is a terminal that takes the cursor sequences of the progress bar and the
// status lines (on Windows a console that takes them once asked to; Windows 7's does not, and
// gets plain lines).
bool IsAnsiTerminal(std::FILE* stream);

// Standard output passes bytes unchanged (Windows would turn each LF into CR LF).
void UseBinaryStandardOutput();

}  // namespace qzr::tools
