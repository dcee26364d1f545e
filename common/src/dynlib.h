#pragma once

#include <cstddef>

// The platform's dynamic loader behind four operations. Only the binding module includes this.
namespace qzr::dynlib {

struct NativeLibrary;  // HMODULE or the dlopen handle; never dereferenced
using EntryAddress = void (*)();

// Longest platform file name we compose, terminator included.
inline constexpr std::size_t kMaxFileName = 4096;

// Writes the platform's file name for `name` into `out`: "NAME.dll" becomes "libNAME.so" on
// Linux; any folder in front of it is kept (on Windows with backslashes for its slashes). False
// when the result does not fit. Never allocates, so the audio thread may call it.
bool PlatformFileName(const char* name, char* out, std::size_t capacity);

// A library of that platform file name already in the process, or null. The result carries a
// reference of its own where the platform counts one (glibc), so pair it with
// ReleasePresentLibrary before calling into the library.
NativeLibrary* FindPresentLibrary(const char* fileName);
void ReleasePresentLibrary(NativeLibrary* library);

// Loads the library, looking in the folder of this module first, then in ../lib beside it, then
// on the system's search path. Null when it cannot be loaded.
NativeLibrary* LoadLibraryFile(const char* fileName);

// Drops one reference taken by LoadLibraryFile. Null does nothing.
void CloseLibrary(NativeLibrary* library);

EntryAddress FindEntry(NativeLibrary* library, const char* entry);

// Whether a module may release the libraries it loaded while it is itself being unloaded (or the
// process ends). True with dlclose; false on Windows, where that runs under the loader lock, which
// forbids FreeLibrary (the system releases a process's libraries as it ends).
bool MayReleaseAtUnload();

}  // namespace qzr::dynlib
