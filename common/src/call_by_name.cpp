#include "qzr/common/call_by_name.h"

#include <array>
#include <cstdio>

#include "call_entry.h"
#include "dynlib.h"
#include "library_ring.h"

namespace qzr {
namespace {

// Room for an entry name of up to 254 characters with one added character and its terminator.
constexpr std::size_t kFallbackNameSize = 256;

// Some libraries export an entry only under its ANSI name (NAME + "A") or with the leading
// underscore of the C calling convention; the plain name is tried first.
dynlib::EntryAddress FindEntryUnderAnyName(dynlib::NativeLibrary* library, const char* entry) {
    if (const auto address = dynlib::FindEntry(library, entry)) return address;
    std::array<char, kFallbackNameSize> name;
    const auto findComposed = [&](const char* first, const char* second) -> dynlib::EntryAddress {
        const int length = std::snprintf(name.data(), name.size(), "%s%s", first, second);
        if (length < 0 || static_cast<std::size_t>(length) >= name.size()) return nullptr;
        return dynlib::FindEntry(library, name.data());
    };
    if (const auto address = findComposed(entry, "A")) return address;
    return findComposed("_", entry);
}

}  // namespace

int CallByNameWords(const char* entry, const char* library, std::span<const CallWord> words) {
    if (entry == nullptr || library == nullptr || words.size() > kMaxCallWords) return 0;
    // Stack buffers only: the audio thread calls this on every tick.
    std::array<char, dynlib::kMaxFileName> fileName;
    if (!dynlib::PlatformFileName(library, fileName.data(), fileName.size())) return 0;

    dynlib::EntryAddress address = nullptr;
    if (dynlib::NativeLibrary* present = dynlib::FindPresentLibrary(fileName.data())) {
        address = FindEntryUnderAnyName(present, entry);
        // Whoever loaded the library still holds it; keep no extra reference across the call.
        dynlib::ReleasePresentLibrary(present);
    } else if (dynlib::NativeLibrary* loaded = LoadIntoRing(fileName.data())) {
        address = FindEntryUnderAnyName(loaded, entry);
    }
    if (address == nullptr) return 0;
    return CallEntry(address, words);
}

}  // namespace qzr
