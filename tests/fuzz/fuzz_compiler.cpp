// The compiler over any source text, for either chip, with voice files there to be named.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "qzr/compiler/compile_song.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [kind, source] = qzr::fuzz::SplitKind(data, size);
    const qzr::CompileResult result =
        qzr::CompileSource(source, qzr::TargetFor(kind), qzr::fuzz::VoiceFolder());
    // No source can write outside the rows a 16-bit count reaches.
    if (result.song.size() >
        static_cast<std::size_t>(qzr::TargetFor(kind).RowOffset(qzr::kRowLimit))) {
        __builtin_trap();
    }
    return 0;
}
