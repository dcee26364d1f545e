#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string>

#include "qzr/test_support/library_handle.h"

namespace qzr::test {

LibraryHandle::LibraryHandle(const std::filesystem::path& file)
    : handle_(reinterpret_cast<void*>(LoadLibraryA(file.string().c_str()))) {
    if (handle_ == nullptr)
        error_ = "LoadLibraryA: Windows error " + std::to_string(GetLastError());
}

LibraryHandle::~LibraryHandle() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

LibraryHandle::Entry LibraryHandle::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Entry>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
}

// GetModuleHandleA takes no reference.
bool LibraryHandle::InProcess(const std::filesystem::path& file) {
    return GetModuleHandleA(file.string().c_str()) != nullptr;
}

// Only the system's folder is searched then; a load by path is unchanged.
bool LibraryHandle::KeepProgramFolderOutOfTheSearch() {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
}

std::filesystem::path BuiltLibrary(const std::string& base) {
    return std::filesystem::path(QZR_BIN_DIR) / (base + ".dll");
}

}  // namespace qzr::test
