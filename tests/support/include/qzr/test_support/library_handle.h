#pragma once

#include <filesystem>
#include <string>

// A library of the build loaded by its file, as a host loads it, and released when destroyed;
// CMake picks the file (library_handle_posix.cpp, library_handle_win32.cpp).
namespace qzr::test {

class LibraryHandle {
public:
    using Entry = void (*)();

    explicit LibraryHandle(const std::filesystem::path& file);
    ~LibraryHandle();
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // The entry of that name, nullptr where there is none (or nothing is loaded).
    Entry Find(const char* name) const;
    // Why the load failed, in the loader's words.
    const std::string& Error() const { return error_; }

    // Whether the library of that file is in this process (asking takes no reference).
    static bool InProcess(const std::filesystem::path& file);

    // Leaves the program's own folder out of the places this process searches for a library
    // loaded by bare name, for the rest of its life (so call it in a child): Windows searches it
    // (where the build's bin holds the real libraries beside the test programs); POSIX never
    // does, so there nothing changes. False when the system refuses.
    static bool KeepProgramFolderOutOfTheSearch();

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The build's file of our library `base`: bin/libBASE.so, or bin/BASE.dll on Windows.
std::filesystem::path BuiltLibrary(const std::string& base);

}  // namespace qzr::test
