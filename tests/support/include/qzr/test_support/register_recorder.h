#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "qzr/player_core/chip_port.h"

namespace qzr::test {

// A ChipPort that stands in for the emulator inside the test process: it keeps every register
// write as (register, value), counts the other calls, and fires the tick handed to BetwInt when
// the test says so. Safe to use from the host and a ticking thread at once.
class RegisterRecorder final : public player::ChipPort {
public:
    using Write = std::pair<int, int>;

    int Start(const player::StartArguments& arguments) override;
    int Free() override;
    int Reset() override;
    int OpmReg(std::uint8_t reg) override;
    int OpmPoke(std::uint8_t data) override;  // a poke without a select is kept with register -1
    int TotalVolume(std::int32_t volume) override;
    int BetwInt(player::TickProcedure tick) override;

    std::vector<Write> Writes() const;
    // The writes kept so far, handed over: the recorder keeps none of them.
    std::vector<Write> TakeWrites();
    int Resets() const;
    // Selects followed by another select, and data without a select: what two flows writing
    // registers at once would leave.
    int TornWrites() const;
    void Clear();

    // Calls the tick handed over last; false when there is none.
    bool FireTick() const;

private:
    mutable std::mutex mutex_;
    std::vector<Write> writes_;
    int selected_ = -1;
    int resets_ = 0;
    int tornWrites_ = 0;
    player::TickProcedure tick_ = nullptr;
};

}  // namespace qzr::test
