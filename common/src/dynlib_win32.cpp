#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstring>
#include <string>

#include "dynlib.h"

namespace qzr::dynlib {
namespace {

NativeLibrary* FromNative(HMODULE handle) { return reinterpret_cast<NativeLibrary*>(handle); }
HMODULE ToNative(NativeLibrary* library) { return reinterpret_cast<HMODULE>(library); }

// The folder of the module (program or DLL) that this code was linked into, with its separator.
std::string ThisModuleFolder() {
    HMODULE self = nullptr;
    const auto flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&ThisModuleFolder), &self)) return {};
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string folder(path, length);
    const auto slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string{} : folder.substr(0, slash + 1);
}

}  // namespace

// The name is the file name already; a folder in front of it gets backslashes, the separator the
// loader's calls expect (a path written with '/' may not match the module it names).
bool PlatformFileName(const char* name, char* out, std::size_t capacity) {
    const std::size_t length = std::strlen(name);
    if (length + 1 > capacity) return false;
    for (std::size_t i = 0; i <= length; ++i) out[i] = name[i] == '/' ? '\\' : name[i];
    return true;
}

// GetModuleHandleA takes no reference, so there is nothing to give back.
NativeLibrary* FindPresentLibrary(const char* fileName) {
    return FromNative(GetModuleHandleA(fileName));
}

void ReleasePresentLibrary(NativeLibrary*) {}

NativeLibrary* LoadLibraryFile(const char* fileName) {
    if (std::strpbrk(fileName, "\\/") == nullptr) {
        const std::string folder = ThisModuleFolder();
        if (!folder.empty()) {
            for (const std::string& candidate :
                 {folder + fileName, folder + "..\\lib\\" + fileName}) {
                if (GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
                if (HMODULE library = LoadLibraryA(candidate.c_str())) return FromNative(library);
            }
        }
    }
    return FromNative(LoadLibraryA(fileName));
}

void CloseLibrary(NativeLibrary* library) {
    if (library != nullptr) FreeLibrary(ToNative(library));
}

EntryAddress FindEntry(NativeLibrary* library, const char* entry) {
    return reinterpret_cast<EntryAddress>(GetProcAddress(ToNative(library), entry));
}

bool MayReleaseAtUnload() { return false; }

}  // namespace qzr::dynlib
