// libFuzzer entry for the qmml compiler: the input is a whole source, compiled in memory. Voice
// files are never opened: every path reads as a fixed 25-byte voice, so the run touches no file
// and writes none. A compile must end with its report, and a source without errors must give a
// song no larger than its channels can fill.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "qzr/compiler/qmml_compile.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/format/player_timing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qzr;
    qmml::Options options;
    options.sourceName = (size % 2 == 0) ? "fuzz.opm.qmml" : "fuzz.opn2.qmml";
    options.baseFolder = "/nonexistent";
    options.readVoice = [](const std::filesystem::path&) {
        qmml::VoiceFileRead read;
        read.status = qmml::VoiceFileRead::Status::Read;
        read.bytes.assign(kVoiceFileBytes, 0x11);
        return read;
    };
    const qmml::Result result = qmml::Compile(std::span(data, size), options);
    if (result.diagnostics.size() > qmml::kMaxDiagnostics) std::abort();
    if (result.Ok()) {
        const SongKind kind = result.classic.kind;
        const std::size_t limit =
            static_cast<std::size_t>(TargetFor(kind).RowOffset(PlayedRowLimit(kind)));
        if (result.song.size() > limit) std::abort();
    } else if (!result.song.empty()) {
        std::abort();
    }
    return 0;
}
