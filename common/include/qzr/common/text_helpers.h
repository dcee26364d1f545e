#pragma once

#include <cstdint>
#include <initializer_list>

// One-based text helpers in the manner of a classic string library. Texts are zero-terminated
// 8-bit byte strings; bytes above 127 are never interpreted or case-folded. Positions and counts
// are one-based; out-of-range arguments give the empty text or 0, never an error. A null text
// counts as missing. Helpers that produce a new text return a buffer from the temporary string
// ring (TempString): never free it, and copy it before 2048 further ring requests.

namespace qzr {

// -1, 0 or 1 as a sorts before, equal to or after b, bytes compared as unsigned values.
int CompareText(const char* a, const char* b);

// Ring text: count characters from the one-based start (count < 0: to the end). Empty when start
// lies outside the text.
char* MidText(const char* text, int start, int count);

// The text without its leading spaces and leading c (c = 0: spaces only), as a place inside a ring
// copy. An empty text is returned as itself, not copied.
const char* TrimLeft(const char* text, char c);

// Ring text: the text up to the first occurrence of the pattern (all of it if there is none; an
// empty pattern occurs at the start).
char* TextBefore(const char* text, const char* pattern);

// Ring text with every occurrence of the pattern removed, including occurrences that the removals
// themselves bring together. An empty pattern removes nothing.
char* RemoveAll(const char* text, const char* pattern);

// Ring text: the texts joined in order.
char* ConcatTexts(std::initializer_list<const char*> texts);

// One-based position of the last occurrence of the pattern that begins at or before start
// (start <= 0, or too late for the pattern to fit: the last place it fits); 0 if none.
int FindLast(const char* text, const char* pattern, int start);

// One-based position (in the whole text) of the first occurrence at or after start (start <= 0:
// from the beginning), compared under the ASCII case fold when ignoreCase is non-zero; 0 if none.
int FindText(const char* text, const char* pattern, int start, int ignoreCase);

// The first place in the text where the pattern occurs under the ASCII case fold (a-z to A-Z),
// or nullptr. An empty pattern occurs at the start.
const char* FindNoCase(const char* text, const char* pattern);

// Number of occurrences, overlapping ones included ('aaa' holds 'aa' twice). 0 for an empty
// text or pattern.
int CountOccurrences(const char* text, const char* pattern);

// 1 if the whole text matches the pattern, else 0. '*' matches any run (also an empty one), '?'
// exactly one character; every other character matches itself, case-sensitively.
int WildcardMatch(const char* text, const char* pattern);

// Signed 16-bit little-endian value of the first two bytes (both are read), widened.
std::int32_t IntFromPair(const char* pair);

// Ring text: field n (one-based) of the text cut at the one-character delimiter. Empty when the
// delimiter does not occur, when n < 1 or when there are fewer than n fields.
char* FieldOf(const char* text, const char* delimiter, int n);

}  // namespace qzr
