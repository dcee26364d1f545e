// Entries for the call-by-name tests: one per argument count in each calling convention, entries
// found only under a fallback name, and one that writes through a pointer passed as a word.
#include <cstdint>
#include <initializer_list>

#define PROBE_API extern "C" __attribute__((visibility("default")))
// On 32-bit x86 these entries remove their own arguments; elsewhere there is one convention.
#if defined(__i386__)
#define PROBE_STDCALL __attribute__((stdcall))
#else
#define PROBE_STDCALL
#endif

namespace {

// Each word is a digit; the result spells the words in order, so any reordering or loss shows.
int Digits(std::initializer_list<std::intptr_t> words) {
    int value = static_cast<int>(words.size());
    for (const std::intptr_t word : words) value = value * 10 + static_cast<int>(word);
    return value;
}

}  // namespace

using W = std::intptr_t;
PROBE_API int Arity0() { return Digits({}); }
PROBE_API int Arity1(W a) { return Digits({a}); }
PROBE_API int Arity2(W a, W b) { return Digits({a, b}); }
PROBE_API int Arity3(W a, W b, W c) { return Digits({a, b, c}); }
PROBE_API int Arity4(W a, W b, W c, W d) { return Digits({a, b, c, d}); }
PROBE_API int Arity5(W a, W b, W c, W d, W e) { return Digits({a, b, c, d, e}); }
PROBE_API int Arity6(W a, W b, W c, W d, W e, W f) { return Digits({a, b, c, d, e, f}); }
PROBE_API int Arity7(W a, W b, W c, W d, W e, W f, W g) { return Digits({a, b, c, d, e, f, g}); }

PROBE_API int PROBE_STDCALL StdcallArity0() { return Digits({}); }
PROBE_API int PROBE_STDCALL StdcallArity1(W a) { return Digits({a}); }
PROBE_API int PROBE_STDCALL StdcallArity2(W a, W b) { return Digits({a, b}); }
PROBE_API int PROBE_STDCALL StdcallArity3(W a, W b, W c) { return Digits({a, b, c}); }
PROBE_API int PROBE_STDCALL StdcallArity4(W a, W b, W c, W d) { return Digits({a, b, c, d}); }
PROBE_API int PROBE_STDCALL StdcallArity5(W a, W b, W c, W d, W e) {
    return Digits({a, b, c, d, e});
}
PROBE_API int PROBE_STDCALL StdcallArity6(W a, W b, W c, W d, W e, W f) {
    return Digits({a, b, c, d, e, f});
}
PROBE_API int PROBE_STDCALL StdcallArity7(W a, W b, W c, W d, W e, W f, W g) {
    return Digits({a, b, c, d, e, f, g});
}

PROBE_API int StoreThrough(W address, W value) {
    *reinterpret_cast<int*>(address) = static_cast<int>(value);
    return 1;
}

PROBE_API int OnlyAnsiA() { return 2; }
PROBE_API int _OnlyUnderscore() { return 3; }
PROBE_API int BothA() { return 4; }
PROBE_API int _Both() { return 5; }
PROBE_API int Plain() { return 6; }
PROBE_API int PlainA() { return 7; }
PROBE_API int _Plain() { return 8; }

// The call sites' entries as a 32-bit Windows library of another toolchain may spell them: the
// player's six undecorated, the emulator's seven with the leading "_" of a C name, each taking
// the call site's number of words. Each result spells the entry's number (1 to 13), the word
// count and the first and last words (digits), so that a wrong entry or a lost word shows.
namespace {

int Site(int site, std::initializer_list<std::intptr_t> words) {
    const int first = words.size() == 0 ? 0 : static_cast<int>(*words.begin());
    const int last = words.size() == 0 ? 0 : static_cast<int>(*(words.end() - 1));
    return site * 1000 + static_cast<int>(words.size()) * 100 + first * 10 + last;
}

}  // namespace

PROBE_API int PROBE_STDCALL InitOPM(W a, W b) { return Site(1, {a, b}); }
PROBE_API int PROBE_STDCALL ReleaseOPM() { return Site(2, {}); }
PROBE_API int PROBE_STDCALL PlaySong(W a) { return Site(3, {a}); }
PROBE_API int PROBE_STDCALL PlaySong2(W a) { return Site(4, {a}); }
PROBE_API int PROBE_STDCALL StopSong() { return Site(5, {}); }
PROBE_API int PROBE_STDCALL GetSongPosition() { return Site(6, {}); }
PROBE_API int _X68Sound_Start(W a, W b, W c, W d, W e, W f, W g) {
    return Site(7, {a, b, c, d, e, f, g});
}
PROBE_API int _X68Sound_Free() { return Site(8, {}); }
PROBE_API int _X68Sound_Reset() { return Site(9, {}); }
PROBE_API int _X68Sound_OpmReg(W a) { return Site(10, {a}); }
PROBE_API int _X68Sound_OpmPoke(W a) { return Site(11, {a}); }
PROBE_API int _X68Sound_TotalVolume(W a) { return Site(12, {a}); }
PROBE_API int _X68Sound_BetwInt(W a) { return Site(13, {a}); }
