#include <dlfcn.h>

#include "loaded_library.h"

namespace qzr::test {

std::string PlatformLibraryName(const std::string& base) { return "lib" + base + ".so"; }

bool InProcess(const std::string& fileName) {
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

}  // namespace qzr::test
