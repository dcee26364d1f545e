// ymrender's register scripts: parsing, scheduling and the first samples of the render.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "qzr/ymrender/register_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = qzr::ymrender::ParseRegisterScript(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (parsed.error) return 0;
    const auto scheduled = qzr::ymrender::ScheduleWrites(parsed.writes);
    // The chip runs every write made in the first 4096 samples.
    constexpr std::uint64_t kSamples = 4096;
    const auto frames = qzr::ymrender::RenderScript(
        scheduled, std::min(kSamples, qzr::ymrender::DefaultSampleCount(scheduled)));
    return frames.size() > kSamples ? 1 : 0;
}
