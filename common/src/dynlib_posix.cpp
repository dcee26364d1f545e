#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "dynlib.h"

namespace qzr::dynlib {
namespace {

NativeLibrary* FromNative(void* handle) { return static_cast<NativeLibrary*>(handle); }
void* ToNative(NativeLibrary* library) { return static_cast<void*>(library); }

// The folder of the module (program or shared library) that this code was linked into, so that
// a library finds what it loads beside itself, as a Windows program finds its DLLs.
std::filesystem::path ThisModuleFolder() {
    Dl_info info{};
    link_map* map = nullptr;
    const auto self = reinterpret_cast<void*>(&ThisModuleFolder);
    std::error_code error;
    if (dladdr1(self, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
        map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        return std::filesystem::absolute(map->l_name, error).parent_path();
    }
    // The main program's link map has no name.
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

}  // namespace

bool PlatformFileName(const char* name, char* out, std::size_t capacity) {
    const std::string_view whole{name};
    const auto slash = whole.rfind('/');
    const std::size_t baseAt = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view folder = whole.substr(0, baseAt);
    std::string_view base = whole.substr(baseAt);
    constexpr std::string_view kWindowsSuffix = ".dll";
    const bool windowsName = base.size() > kWindowsSuffix.size() && base.ends_with(kWindowsSuffix);
    if (windowsName) base.remove_suffix(kWindowsSuffix.size());
    const std::string_view prefix = windowsName ? "lib" : "";
    const std::string_view suffix = windowsName ? ".so" : "";
    const std::size_t length = folder.size() + prefix.size() + base.size() + suffix.size();
    if (length + 1 > capacity) return false;
    char* at = out;
    for (const std::string_view part : {folder, prefix, base, suffix}) {
        std::memcpy(at, part.data(), part.size());
        at += part.size();
    }
    *at = '\0';
    return true;
}

NativeLibrary* FindPresentLibrary(const char* fileName) {
    // A bare name matches a loaded library by its SONAME or by the name it was loaded under.
    return FromNative(dlopen(fileName, RTLD_NOW | RTLD_NOLOAD));
}

void ReleasePresentLibrary(NativeLibrary* library) { CloseLibrary(library); }

NativeLibrary* LoadLibraryFile(const char* fileName) {
    const auto load = [](const std::string& path) {
        return FromNative(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    };
    if (std::strchr(fileName, '/') != nullptr) return load(fileName);
    const std::filesystem::path folder = ThisModuleFolder();
    if (!folder.empty()) {
        for (const auto& candidate : {folder / fileName, folder / ".." / "lib" / fileName}) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(candidate, error)) continue;
            if (NativeLibrary* library = load(candidate.string())) return library;
        }
    }
    return load(fileName);
}

void CloseLibrary(NativeLibrary* library) {
    if (library != nullptr) dlclose(ToNative(library));
}

EntryAddress FindEntry(NativeLibrary* library, const char* entry) {
    return reinterpret_cast<EntryAddress>(dlsym(ToNative(library), entry));
}

bool MayReleaseAtUnload() { return true; }

}  // namespace qzr::dynlib
