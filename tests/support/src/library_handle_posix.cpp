#include <dlfcn.h>

#include "qzr/test_support/library_handle.h"

namespace qzr::test {

LibraryHandle::LibraryHandle(const std::filesystem::path& file)
    : handle_(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "dlopen failed";
    }
}

LibraryHandle::~LibraryHandle() {
    if (handle_ != nullptr) dlclose(handle_);
}

LibraryHandle::Entry LibraryHandle::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Entry>(dlsym(handle_, name));
}

bool LibraryHandle::InProcess(const std::filesystem::path& file) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);  // the reference NOLOAD took
    return true;
}

bool LibraryHandle::KeepProgramFolderOutOfTheSearch() { return true; }

std::filesystem::path BuiltLibrary(const std::string& base) {
    return std::filesystem::path(QZR_BIN_DIR) / ("lib" + base + ".so");
}

}  // namespace qzr::test
