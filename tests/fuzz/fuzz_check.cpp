// qzr check over any source text, for either chip, with voice files there to be named.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "qzr/tools/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [kind, source] = qzr::fuzz::SplitKind(data, size);
    const auto& folder = qzr::fuzz::VoiceFolder();
    const auto found =
        qzr::tools::CheckSource(source, qzr::TargetFor(kind), folder, folder / "stand.in");
    std::size_t length = 0;
    for (const auto& d : found) length += qzr::tools::FormatDiagnostic("fuzz.mml", d).size();
    return length == 1 ? 1 : 0;
}
