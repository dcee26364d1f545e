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
