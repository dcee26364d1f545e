#pragma once

#include <string>

// What the call-by-name tests ask the platform's loader directly; CMake picks the file
// (loaded_library_posix.cpp, loaded_library_win32.cpp).
namespace qzr::test {

// The platform's file name of our library `base`: "libBASE.so", or "BASE.dll" on Windows.
std::string PlatformLibraryName(const std::string& base);

// Whether a library of that platform file name is in this process.
bool InProcess(const std::string& fileName);

// Whether the library file at `path` exports `entry` under exactly that name (no fallback
// spelling). The library is loaded for the question and released after it (on Linux it stays
// mapped).
bool ExportsEntry(const std::string& path, const std::string& entry);

}  // namespace qzr::test
