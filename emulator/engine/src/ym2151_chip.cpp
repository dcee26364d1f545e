#include "qzr/emulator_core/ym2151.h"
#include "qzr/emulator_engine/chip.h"

namespace qzr::emulator {

namespace {

// The engine's view of our YM2151 core.
class YM2151Chip final : public Chip {
public:
    void Reset() override { core_.Reset(); }
    void Write(std::uint8_t reg, std::uint8_t value) override { core_.Write(reg, value); }
    StereoSample Generate() override { return core_.Generate(); }
    StereoSample GenerateWithStems(YM2151::ChannelFrame& stems) override {
        StereoSample frame;
        GenerateBlockWithStems(std::span(&frame, 1), std::span(&stems, 1));
        return frame;
    }
    void GenerateBlock(std::span<StereoSample> out) override { core_.Generate(out); }
    void GenerateBlockWithStems(std::span<StereoSample> out,
                                std::span<YM2151::ChannelFrame> stems) override {
        core_.Generate(out, stems);
        for (YM2151::ChannelFrame& frame : stems) {
            for (StereoSample& stem : frame) stem = YM2151::ChannelAlone(stem);
        }
    }

private:
    YM2151 core_;
};

}  // namespace

std::unique_ptr<Chip> MakeYM2151Chip() { return std::make_unique<YM2151Chip>(); }

}  // namespace qzr::emulator
