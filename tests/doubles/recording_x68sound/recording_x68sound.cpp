#include "qzr/doubles/recording_x68sound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

// On Windows the .def file beside this lists the exports, undecorated on i686 too.
#if defined(_WIN32)
#define RECORDER_API extern "C" __declspec(dllexport)
#else
#define RECORDER_API extern "C" __attribute__((visibility("default")))
#endif

namespace {

using qzr::doubles::EmulatorEntry;
using qzr::doubles::RecordedCall;
using Tick = void (*)();
using W = std::intptr_t;

std::mutex gMutex;
std::vector<RecordedCall> gCalls;  // guarded by gMutex
bool gRecording = true;            // guarded by gMutex
int gTornWrites = 0;               // guarded by gMutex
EmulatorEntry gLastEntry{};        // guarded by gMutex
int gLastThread = -1;              // guarded by gMutex

std::atomic<Tick> gTick{nullptr};
std::atomic<bool> gFireOnCall{false};
std::atomic<int> gThreadCount{0};
thread_local int tThread = -1;
thread_local bool tInTick = false;

int ThisThread() {
    if (tThread < 0) tThread = gThreadCount.fetch_add(1);
    return tThread;
}

int FireTick() {
    const Tick tick = gTick.load();
    if (tick == nullptr) return 0;
    tInTick = true;
    tick();
    tInTick = false;
    return 1;
}

void Record(EmulatorEntry entry, std::initializer_list<W> args) {
    if (gFireOnCall.load() && !tInTick) FireTick();
    const int thread = ThisThread();
    const std::scoped_lock lock{gMutex};
    // A select must be followed at once by its data from the same thread.
    const bool selectPending = gLastEntry == EmulatorEntry::OpmReg;
    if (selectPending && (entry != EmulatorEntry::OpmPoke || thread != gLastThread)) {
        ++gTornWrites;
    }
    if (entry == EmulatorEntry::OpmPoke && (!selectPending || thread != gLastThread)) {
        ++gTornWrites;
    }
    gLastEntry = entry;
    gLastThread = thread;
    if (!gRecording) return;
    RecordedCall call{};
    call.entry = entry;
    call.argCount = static_cast<std::int32_t>(args.size());
    std::copy(args.begin(), args.end(), call.args);
    call.thread = thread;
    call.fromTick = tInTick ? 1 : 0;
    call.nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
                     .count();
    gCalls.push_back(call);
}

}  // namespace

RECORDER_API int X68Sound_Start(W rate, W fm, W other, W tick, W buffers, W latency, W reserved) {
    Record(EmulatorEntry::Start, {rate, fm, other, tick, buffers, latency, reserved});
    return 0;
}
RECORDER_API int X68Sound_Free() {
    Record(EmulatorEntry::Free, {});
    return 0;
}
RECORDER_API int X68Sound_Reset() {
    Record(EmulatorEntry::Reset, {});
    return 0;
}
RECORDER_API int X68Sound_OpmReg(W reg) {
    Record(EmulatorEntry::OpmReg, {reg});
    return 0;
}
RECORDER_API int X68Sound_OpmPoke(W data) {
    Record(EmulatorEntry::OpmPoke, {data});
    return 0;
}
RECORDER_API int X68Sound_TotalVolume(W volume) {
    Record(EmulatorEntry::TotalVolume, {volume});
    return 0;
}
RECORDER_API int X68Sound_BetwInt(W tick) {
    Record(EmulatorEntry::BetwInt, {tick});
    gTick.store(reinterpret_cast<Tick>(tick));
    return 0;
}

RECORDER_API int RecorderCount() {
    const std::scoped_lock lock{gMutex};
    return static_cast<int>(gCalls.size());
}
RECORDER_API int RecorderRead(W out, W capacity) {
    const std::scoped_lock lock{gMutex};
    const auto count = std::min(gCalls.size(), static_cast<std::size_t>(std::max<W>(capacity, 0)));
    std::copy_n(gCalls.begin(), count, reinterpret_cast<RecordedCall*>(out));
    return static_cast<int>(count);
}
RECORDER_API int RecorderClear() {
    const std::scoped_lock lock{gMutex};
    gCalls.clear();
    gTornWrites = 0;
    gLastEntry = {};
    gLastThread = -1;
    return 0;
}
RECORDER_API int RecorderSetRecording(W on) {
    const std::scoped_lock lock{gMutex};
    gRecording = on != 0;
    return 0;
}
RECORDER_API int RecorderSetFireOnCall(W on) {
    gFireOnCall.store(on != 0);
    return 0;
}
RECORDER_API int RecorderFireTick() { return FireTick(); }
RECORDER_API int RecorderFireTicks(W count) {
    int fired = 0;
    for (W i = 0; i < count; ++i) fired += FireTick();
    return fired;
}
RECORDER_API int RecorderTornWrites() {
    const std::scoped_lock lock{gMutex};
    return gTornWrites;
}
