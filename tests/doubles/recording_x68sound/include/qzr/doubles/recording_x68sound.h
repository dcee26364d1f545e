#pragma once

#include <cstdint>

// The recording emulator: a library under the emulator's file name that takes the seven
// emulator entries, records every call with its arguments, and lets a test fire the installed
// tick. Tests reach it by name like the player does; these are its record's layout and its
// test-only entries.
namespace qzr::doubles {

enum class EmulatorEntry : std::int32_t {
    Start = 1,
    Free,
    Reset,
    OpmReg,
    OpmPoke,
    TotalVolume,
    BetwInt,
};

struct RecordedCall {
    EmulatorEntry entry;
    std::int32_t argCount;
    std::intptr_t args[7];
    std::int32_t thread;    // small number per calling thread, in order of first call
    std::int32_t fromTick;  // 1 when made by a tick that the double fired
    std::int64_t nanos;     // steady clock
};

// Test-only entries, each taking machine words and returning int:
//   RecorderCount()                 calls recorded so far
//   RecorderRead(out, capacity)     copies up to capacity RecordedCall into out; returns how many
//   RecorderClear()                 forgets the record and the torn-write count
//   RecorderSetRecording(on)        0 stops recording (the torn-write check goes on)
//   RecorderSetFireOnCall(on)       1: every emulator call first fires the installed tick, as
//                                   if the emulator's own tick came in just then
//   RecorderFireTick()              calls the installed tick once; 0 when none is installed
//   RecorderFireTicks(n)            calls it n times
//   RecorderTornWrites()            register writes whose select and data were split by
//                                   another call, or data without a select just before it
inline constexpr const char* kRecorderLibrary = "x68sound.dll";

}  // namespace qzr::doubles
