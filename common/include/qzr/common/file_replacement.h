#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace qzr {

// The one way a program of ours replaces a file: the new contents go into a temporary file beside
// the target, which replaces the target only once it is complete.
//  - The temporary has a name no other run uses and is created exclusively, never through a link
//    planted at its name, with no access for others until it is put in place.
//  - It is removed on every failure, when the owner is destroyed without a commit, and when the
//    process is interrupted (SIGINT, SIGTERM, SIGHUP; the console's interrupt on Windows); the
//    signal is then handled as it was before.
//  - Commit gives it the mode of the file it replaces (and its owner and group where the process
//    may set them), or the mode a new file gets, and renames it over the target. The target is
//    then a new file: hard links to the old one keep the old contents, and a link at the target's
//    name is replaced, never followed.
// Several runs replacing one target at once each put a whole file in place; the last rename
// stays.
class FileReplacement {
public:
    explicit FileReplacement(std::filesystem::path target);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary. False, with the reason in `error`, when the target is a folder, is
    // an existing file this process may not write, or no file can be created beside it.
    bool Open(std::string& error);

    // Appends to the temporary; false (reason in `error`) on a write error such as a full disk.
    bool Write(std::span<const std::uint8_t> bytes, std::string& error);

    // The temporary's descriptor, for writers that take one (libsndfile); -1 before Open. It stays
    // owned by this object: such a writer must not close it.
    int Descriptor() const;

    // Where the contents are until the commit; empty before Open.
    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    const std::filesystem::path& Target() const { return target_; }

    // Makes the written contents durable and puts them in place. False (the target unchanged and
    // the temporary removed) on failure.
    bool Commit(std::string& error);

    // Removes the temporary now; the owner may Open again.
    void Discard() noexcept;

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::intptr_t native_ = -1;  // descriptor (POSIX) or HANDLE (Windows)
    int pendingSlot_ = -1;       // where the signal clean-up finds the temporary
    bool replacesExisting_ = false;
    unsigned existingMode_ = 0;
    unsigned existingOwner_ = 0;
    unsigned existingGroup_ = 0;
};

}  // namespace qzr
