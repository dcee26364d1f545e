#include "qzr/emulator/ym2151.h"

namespace qzr::emulator {

struct YM2151::State {
    std::uint64_t sampleIndex = 0;
};

YM2151::YM2151() : state_(std::make_unique<State>()) {}
YM2151::~YM2151() = default;
YM2151::YM2151(YM2151&&) noexcept = default;
YM2151& YM2151::operator=(YM2151&&) noexcept = default;

void YM2151::Reset() { *state_ = State{}; }

bool YM2151::Write(std::uint8_t, std::uint8_t) { return true; }

std::size_t YM2151::HeldWrites() const { return 0; }

StereoSample YM2151::Generate() {
    ++state_->sampleIndex;
    return {0, 0};
}

void YM2151::Generate(std::span<StereoSample> out) {
    for (auto& frame : out) frame = Generate();
}

std::uint8_t YM2151::Status() const { return 0; }

bool YM2151::IrqPending() const { return false; }

std::uint64_t YM2151::SampleIndex() const { return state_->sampleIndex; }

SlotView YM2151::InspectSlot(int) const {
    return SlotView{0, 0, 1023, EnvelopePhase::Release, 0, 0};
}

}  // namespace qzr::emulator
