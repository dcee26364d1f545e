#include "qzr/test_support/register_recorder.h"

namespace qzr::test {

int RegisterRecorder::Start(const player::StartArguments&) { return 0; }

int RegisterRecorder::Free() { return 0; }

int RegisterRecorder::Reset() {
    const std::scoped_lock lock{mutex_};
    ++resets_;
    return 0;
}

int RegisterRecorder::OpmReg(std::uint8_t reg) {
    const std::scoped_lock lock{mutex_};
    if (selected_ != -1) ++tornWrites_;
    selected_ = reg;
    return 0;
}

int RegisterRecorder::OpmPoke(std::uint8_t data) {
    const std::scoped_lock lock{mutex_};
    if (selected_ == -1) ++tornWrites_;
    writes_.emplace_back(selected_, data);
    selected_ = -1;
    return 0;
}

int RegisterRecorder::TotalVolume(std::int32_t) { return 0; }

int RegisterRecorder::BetwInt(player::TickProcedure tick) {
    const std::scoped_lock lock{mutex_};
    tick_ = tick;
    return 0;
}

std::vector<RegisterRecorder::Write> RegisterRecorder::Writes() const {
    const std::scoped_lock lock{mutex_};
    return writes_;
}

std::vector<RegisterRecorder::Write> RegisterRecorder::TakeWrites() {
    const std::scoped_lock lock{mutex_};
    return std::exchange(writes_, {});
}

int RegisterRecorder::Resets() const {
    const std::scoped_lock lock{mutex_};
    return resets_;
}

int RegisterRecorder::TornWrites() const {
    const std::scoped_lock lock{mutex_};
    return tornWrites_;
}

void RegisterRecorder::Clear() {
    const std::scoped_lock lock{mutex_};
    writes_.clear();
    resets_ = 0;
    tornWrites_ = 0;
}

bool RegisterRecorder::FireTick() const {
    player::TickProcedure tick = nullptr;
    {
        // Not held during the tick, which comes back here to write.
        const std::scoped_lock lock{mutex_};
        tick = tick_;
    }
    if (tick == nullptr) return false;
    tick();
    return true;
}

}  // namespace qzr::test
