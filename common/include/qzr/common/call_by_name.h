#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <type_traits>

namespace qzr {

// Every argument crosses a library boundary as one machine word, so a pointer survives on
// 64-bit systems. Every entry we call by name takes only such words and returns int.
using CallWord = std::intptr_t;
// The most words an entry called by name takes.
inline constexpr std::size_t kMaxCallWords = 7;

// Finds the library by file name ("NAME.dll" means the platform's library for NAME), loading it
// into this module's 256-slot ring if it is not in the process yet, looks the entry up afresh
// (then NAME + "A", then "_" + NAME) and calls it with the words. Returns the entry's result, or
// 0 when the library or the entry cannot be found, or for more than kMaxCallWords words.
int CallByNameWords(const char* entry, const char* library, std::span<const CallWord> words);

template <typename T>
CallWord ToCallWord(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<CallWord>(value);
    } else {
        return static_cast<CallWord>(value);
    }
}

template <typename... Args>
int CallByName(const char* entry, const char* library, Args... args) {
    static_assert(sizeof...(Args) <= kMaxCallWords, "entries take at most 7 words");
    const CallWord words[sizeof...(Args) + 1] = {ToCallWord(args)..., 0};
    return CallByNameWords(entry, library, std::span<const CallWord>(words, sizeof...(Args)));
}

}  // namespace qzr
