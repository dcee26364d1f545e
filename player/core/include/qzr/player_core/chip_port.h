#pragma once

#include <cstdint>

namespace qzr::player {

// The procedure the emulator calls once per tick, on its own rendering context.
using TickProcedure = void (*)();

// What the emulator is started with, in the order it takes them.
struct StartArguments {
    std::int32_t sampleRate;   // Hz
    std::int32_t fmEnabled;    // 1: the FM chip sounds
    std::int32_t otherSource;  // 0: no other sound source
    std::int32_t tickPeriod;   // ms between ticks
    std::int32_t bufferCount;  // audio buffers
    std::int32_t latency;      // output latency in ms
    std::int32_t reserved;     // 1
};

// The seven emulator operations the player uses, named after the emulator's own entries. The
// shared library binds them to the emulator by name; tests and tools plug in a recorder or an
// in-process chip. Register and data values are 0 to 255. The tick procedure calls OpmReg and
// OpmPoke from the emulator's context, every other call comes from the host's thread; an
// implementation must not call the tick while it holds a lock that those calls need.
class ChipPort {
public:
    virtual int Start(const StartArguments& arguments) = 0;
    virtual int Free() = 0;
    virtual int Reset() = 0;
    virtual int OpmReg(std::uint8_t reg) = 0;    // selects the register the next poke writes
    virtual int OpmPoke(std::uint8_t data) = 0;  // writes the selected register
    virtual int TotalVolume(std::int32_t volume) = 0;
    virtual int BetwInt(TickProcedure tick) = 0;  // replaces the procedure called every tick

protected:
    constexpr ChipPort() = default;
    ChipPort(const ChipPort&) = default;
    ChipPort& operator=(const ChipPort&) = default;
    ~ChipPort() = default;
};

}  // namespace qzr::player
