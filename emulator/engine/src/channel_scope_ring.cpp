#include "channel_scope_ring.h"

#include <algorithm>

namespace qzr::emulator {

void ChannelScopeRing::Clear() {
    for (auto& sample : samples_) {
        for (auto& word : sample) word.store(0, std::memory_order_relaxed);
    }
    written_.store(0, std::memory_order_release);
}

void ChannelScopeRing::Push(const YM2151::ChannelFrame& stems) {
    const std::uint64_t n = written_.load(std::memory_order_relaxed);
    auto& sample = samples_[n % kSamples];
    for (std::size_t word = 0; word < 2; ++word) {
        std::uint64_t packed = 0;
        for (std::size_t c = 0; c < 4; ++c) {
            const StereoSample& stem = stems[4 * word + c];
            const auto mono = static_cast<std::uint16_t>((int{stem.left} + int{stem.right}) / 2);
            packed |= std::uint64_t{mono} << (16 * c);
        }
        sample[word].store(packed, std::memory_order_relaxed);
    }
    written_.store(n + 1, std::memory_order_release);
}

std::size_t ChannelScopeRing::CopyLatest(std::span<ChannelSamples> out) const {
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>({written, out.size(), kSamples}));
    const std::uint64_t first = written - count;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& sample = samples_[(first + i) % kSamples];
        for (std::size_t word = 0; word < 2; ++word) {
            const std::uint64_t packed = sample[word].load(std::memory_order_relaxed);
            for (std::size_t c = 0; c < 4; ++c) {
                out[i][4 * word + c] = static_cast<std::int16_t>(packed >> (16 * c) & 0xFFFF);
            }
        }
    }
    return count;
}

}  // namespace qzr::emulator
