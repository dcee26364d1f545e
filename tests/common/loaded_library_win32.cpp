#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "loaded_library.h"

namespace qzr::test {

std::string PlatformLibraryName(const std::string& base) { return base + ".dll"; }

// GetModuleHandleA takes no reference, so the answer changes nothing.
bool InProcess(const std::string& fileName) {
    return GetModuleHandleA(fileName.c_str()) != nullptr;
}

}  // namespace qzr::test
