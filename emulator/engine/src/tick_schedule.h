#pragma once

#include <cstdint>

namespace qzr::emulator {

// Where the ticks fall on the native sample grid: tick k (k = 1, 2, ...) runs just before
// native sample floor(k * clockHz * periodMs / (64 * 1000)). Exact integer arithmetic, so the
// ticks never drift from the sound however long a song plays.
class TickSchedule {
public:
    // periodMs at least 1.
    TickSchedule(std::uint64_t clockHz, std::uint64_t periodMs);

    // The native sample before which the next tick runs.
    std::uint64_t NextTickSample() const { return next_; }
    // Number of ticks run so far.
    std::uint64_t TicksRun() const { return ticksRun_; }
    // The next tick has run.
    void Advance();

private:
    static constexpr std::uint64_t kDenominator = 64 * 1000;  // clocks per sample, ms per s
    std::uint64_t stepWhole_;
    std::uint64_t stepRemainder_;
    std::uint64_t next_;
    std::uint64_t remainder_;
    std::uint64_t ticksRun_ = 0;
};

}  // namespace qzr::emulator
