#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <memory>
#include <type_traits>

#include "loaded_library.h"

namespace qzr::test {

std::string PlatformLibraryName(const std::string& base) { return base + ".dll"; }

// GetModuleHandleA takes no reference, so the answer changes nothing.
bool InProcess(const std::string& fileName) {
    return GetModuleHandleA(fileName.c_str()) != nullptr;
}

bool ExportsEntry(const std::string& path, const std::string& entry) {
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> library(
        LoadLibraryA(path.c_str()), &FreeLibrary);
    return library != nullptr && GetProcAddress(library.get(), entry.c_str()) != nullptr;
}

}  // namespace qzr::test
