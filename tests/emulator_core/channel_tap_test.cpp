#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "chip_harness.h"
#include "mix.h"
#include "random_program.h"

namespace qzr::emulator {
namespace {

using Frames = std::vector<StereoSample>;
using Channels = std::vector<YM2151::ChannelFrame>;

struct Tapped {
    Frames frames;
    Channels channels;
};

// Renders the random program with `seed`, with or without the channel tap.
Tapped RenderRandom(std::uint64_t seed, std::uint64_t samples, bool tap) {
    test::RandomProgram program(seed);
    YM2151 chip;
    const auto count = static_cast<std::size_t>(samples);
    Tapped t{Frames(count), Channels(count)};
    test::RandomProgram::Write next = program.Next();
    for (std::size_t n = 0; n < count; ++n) {
        if (next.sample == n) {
            chip.Write(next.reg, next.value);
            next = program.Next();
        }
        const std::span<StereoSample> frame(&t.frames[n], 1);
        if (tap) {
            chip.Generate(frame, std::span<YM2151::ChannelFrame>(&t.channels[n], 1));
        } else {
            chip.Generate(frame);
        }
    }
    return t;
}

// The channels' parts add up to each frame as the chip's own sum does (18-bit wrap, saturation,
// the DAC's rounding), and tapping changes nothing of the frames.
TEST(ChannelTap, ChannelsAddUpToEveryFrameAndLeaveItAsItWas) {
    const std::uint64_t samples = test::Seconds(3.0);
    const Tapped tapped = RenderRandom(7, samples, true);
    EXPECT_EQ(tapped.frames, RenderRandom(7, samples, false).frames);
    Frames summed;
    std::vector<int> soundingChannels(8, 0);
    for (const auto& channels : tapped.channels) {
        std::int32_t left = 0, right = 0;
        for (std::size_t c = 0; c < 8; ++c) {
            left += channels[c].left;
            right += channels[c].right;
            soundingChannels[c] += channels[c].left != 0 || channels[c].right != 0;
        }
        summed.push_back({detail::DacValue(detail::WrapAndSaturate(left)),
                          detail::DacValue(detail::WrapAndSaturate(right))});
    }
    EXPECT_EQ(summed, tapped.frames);
    for (std::size_t c = 0; c < 8; ++c) {
        SCOPED_TRACE(c);
        EXPECT_GT(soundingChannels[c], static_cast<int>(samples / 4));
    }
}

// One channel sounding: its part is the whole frame (below the DAC's rounding), the others 0.
// The tap, first asked for here, has whole values from its fourth frame on: the three before
// are still in the mix's pipeline from samples worked without it.
TEST(ChannelTap, AChannelAloneIsTheWholeFrame) {
    test::Program p;
    p.Channel(5, 3, 0, 7).Pitch(5, 0x4A).SineSlot(5, 40).SineSlot(29, 40).Key(5, 0x9).Wait(20);
    YM2151 chip;
    test::Run(chip, p, p.Next(), nullptr);
    Frames frames(2000);
    Channels channels(2000);
    chip.Generate(frames, channels);
    for (std::size_t n = 3; n < frames.size(); ++n) {
        SCOPED_TRACE(n);
        YM2151::ChannelFrame expected{};
        expected[5] = frames[n];
        ASSERT_EQ(channels[n], expected);
    }
}

}  // namespace
}  // namespace qzr::emulator
