#include <dlfcn.h>

#include <memory>

#include "loaded_library.h"

namespace qzr::test {

std::string PlatformLibraryName(const std::string& base) { return "lib" + base + ".so"; }

bool InProcess(const std::string& fileName) {
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

namespace {

struct Closer {
    void operator()(void* handle) const { dlclose(handle); }
};

}  // namespace

// The library stays mapped after the close (RTLD_NODELETE): what its static objects allocated
// stays reachable from them rather than turning into a leak of an unloaded module.
bool ExportsEntry(const std::string& path, const std::string& entry) {
    const std::unique_ptr<void, Closer> library(dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE));
    return library != nullptr && dlsym(library.get(), entry.c_str()) != nullptr;
}

}  // namespace qzr::test
