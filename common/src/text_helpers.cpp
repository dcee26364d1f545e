#include "qzr/common/text_helpers.h"

#include <climits>
#include <cstring>
#include <string>

#include "qzr/common/temp_string.h"

namespace qzr {

namespace {

// Lengths are counted in the helpers' 32-bit positions; no real text comes near the limit.
int TextLength(const char* text) {
    if (text == nullptr) return 0;
    const std::size_t length = std::strlen(text);
    return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

char* RingCopy(const char* text) {
    const int length = TextLength(text);
    char* copy = TempString(static_cast<std::size_t>(length));
    if (length > 0) std::memcpy(copy, text, static_cast<std::size_t>(length));
    return copy;
}

unsigned char FoldCase(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

}  // namespace

int CompareText(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a != nullptr ? a : "");
    const auto* y = reinterpret_cast<const unsigned char*>(b != nullptr ? b : "");
    for (;; ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
        if (*x == 0) return 0;
    }
}

char* MidText(const char* text, int start, int count) {
    const int length = TextLength(text);
    if (start > length || start < 1) return TempString(1);
    if (count < 0) count = length - start + 1;
    char* result = TempString(static_cast<std::size_t>(count));
    const int available = length - start + 1;
    const int copied = count < available ? count : available;
    std::memcpy(result, text + (start - 1), static_cast<std::size_t>(copied));
    return result;
}

const char* TrimLeft(const char* text, char c) {
    if (text == nullptr || *text == '\0') return text;
    const char* place = RingCopy(text);
    while (*place == ' ' || (c != '\0' && *place == c)) ++place;
    return place;
}

char* TextBefore(const char* text, const char* pattern) {
    char* copy = RingCopy(text);
    if (pattern != nullptr) {
        if (char* found = std::strstr(copy, pattern)) *found = '\0';
    }
    return copy;
}

char* RemoveAll(const char* text, const char* pattern) {
    char* copy = RingCopy(text);
    const int patternLength = TextLength(pattern);
    if (patternLength == 0) return copy;
    // Every search starts again at the beginning, so a removal that brings two halves of the
    // pattern together is caught by the next round.
    for (int at = FindText(copy, pattern, 1, 0); at != 0; at = FindText(copy, pattern, 1, 0)) {
        char* gap = copy + (at - 1);
        std::memmove(gap, gap + patternLength, std::strlen(gap + patternLength) + 1);
    }
    return copy;
}

char* ConcatTexts(std::initializer_list<const char*> texts) {
    std::size_t total = 0;
    for (const char* t : texts) total += static_cast<std::size_t>(TextLength(t));
    char* result = TempString(total);
    std::size_t at = 0;
    for (const char* t : texts) {
        const auto length = static_cast<std::size_t>(TextLength(t));
        if (length > 0) std::memcpy(result + at, t, length);
        at += length;
    }
    return result;
}

int FindLast(const char* text, const char* pattern, int start) {
    if (text == nullptr || pattern == nullptr) return 0;
    const int length = TextLength(text);
    const int patternLength = TextLength(pattern);
    if (patternLength == 0 || patternLength > length) return 0;
    if (start <= 0 || start > length - patternLength) start = length - patternLength + 1;
    for (int place = start; place >= 1; --place) {
        if (std::memcmp(text + (place - 1), pattern, static_cast<std::size_t>(patternLength)) ==
            0) {
            return place;
        }
    }
    return 0;
}

int FindText(const char* text, const char* pattern, int start, int ignoreCase) {
    if (text == nullptr || pattern == nullptr || *pattern == '\0') return 0;
    if (start > TextLength(text)) return 0;
    const char* from = text + (start <= 0 ? 0 : start - 1);
    const char* found = ignoreCase != 0 ? FindNoCase(from, pattern) : std::strstr(from, pattern);
    return found == nullptr ? 0 : static_cast<int>(found - text) + 1;
}

const char* FindNoCase(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    const std::size_t patternLength = std::strlen(pattern);
    std::size_t remaining = std::strlen(text);
    for (const char* place = text; remaining >= patternLength; ++place, --remaining) {
        std::size_t i = 0;
        while (i < patternLength && FoldCase(static_cast<unsigned char>(place[i])) ==
                                        FoldCase(static_cast<unsigned char>(pattern[i]))) {
            ++i;
        }
        if (i == patternLength) return place;
        if (remaining == 0) break;
    }
    return nullptr;
}

int CountOccurrences(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr || *pattern == '\0') return 0;
    int count = 0;
    for (const char* from = text; *from != '\0';) {
        const char* found = std::strstr(from, pattern);
        if (found == nullptr) break;
        ++count;
        from = found + 1;
    }
    return count;
}

namespace {

int MatchFrom(const char* text, const char* pattern) {
    bool star = false;
    for (; *pattern == '*' || *pattern == '?'; ++pattern) {
        if (*pattern == '*') {
            star = true;
        } else {
            if (*text == '\0') return 0;
            ++text;
        }
    }
    if (*pattern == '\0') return (star || *text == '\0') ? 1 : 0;

    // The pattern now holds a literal: try it here, and further on only after a star.
    for (const char* place = text; *place != '\0'; ++place) {
        if (*place == *pattern) {
            const char* t = place + 1;
            const char* p = pattern + 1;
            for (;;) {
                if (*p == '\0') {
                    if (*t == '\0') return 1;
                    break;
                }
                if (*p == '*') {
                    if (MatchFrom(t, p) != 0) return 1;
                    break;
                }
                if (*t == '\0' || (*p != '?' && *p != *t)) break;
                ++p;
                ++t;
            }
        }
        if (!star) break;
    }
    return 0;
}

}  // namespace

int WildcardMatch(const char* text, const char* pattern) {
    return MatchFrom(text != nullptr ? text : "", pattern != nullptr ? pattern : "");
}

std::int32_t IntFromPair(const char* pair) {
    const auto low = static_cast<unsigned char>(pair[0]);
    const auto high = static_cast<unsigned char>(pair[1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

char* FieldOf(const char* text, const char* delimiter, int n) {
    const int count = CountOccurrences(text, delimiter);
    if (count == 0 || n < 1 || n > count + 1) return TempString(1);
    if (n == 1) return TextBefore(text, delimiter);
    const int delimiterLength = TextLength(delimiter);
    if (n == count + 1) {
        return MidText(text, FindLast(text, delimiter, 0) + delimiterLength, -1);
    }
    int nth = 0;
    for (int i = 0; i < n; ++i) nth = FindText(text, delimiter, nth + 1, 0);
    // The work copy is private to this call; only the result comes from the ring.
    const std::string prefix(text, static_cast<std::size_t>(nth - 1));
    const int previous = FindLast(prefix.c_str(), delimiter, 0);
    return RemoveAll(prefix.c_str() + (previous - 1), delimiter);
}

}  // namespace qzr
