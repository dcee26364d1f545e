// ymrender SCRIPT [-o OUT.wav] [--samples N]: plays a register script on the emulated chip
// alone and writes its digital output as a 16-bit stereo WAV at the native rate.
#include <charconv>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "qzr/common/file_reading.h"
#include "qzr/common/text_lines.h"
#include "qzr/ymrender/register_script.h"
#include "qzr/ymrender/wav_writer.h"

namespace {

constexpr int kExitBadInput = 2;
constexpr int kExitCannotWrite = 1;
// The whole render is held in memory before it is written: 2^28 frames (80 minutes) is 1 GiB.
constexpr std::uint64_t kMaxFrames = std::uint64_t{1} << 28;

void PrintUsage() { std::fputs("usage: ymrender SCRIPT [-o OUT.wav] [--samples N]\n", stderr); }

int Run(int argc, char** argv) {
    std::optional<std::string> script, output;
    std::optional<std::uint64_t> samples;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "-o" || arg == "--samples") && i + 1 < argc) {
            const std::string_view value = argv[++i];
            if (arg == "-o") {
                output = std::string(value);
                continue;
            }
            std::uint64_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc{} || end != value.data() + value.size()) {
                std::fprintf(stderr, "ymrender: --samples needs a whole number, not \"%s\"\n",
                             argv[i]);
                return kExitBadInput;
            }
            samples = n;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "ymrender: unknown or incomplete option \"%s\"\n", argv[i]);
            PrintUsage();
            return kExitBadInput;
        } else if (!script) {
            script = std::string(arg);
        } else {
            PrintUsage();
            return kExitBadInput;
        }
    }
    if (!script) {
        PrintUsage();
        return kExitBadInput;
    }

    // Line by line as it is read: the script takes the memory of its writes, not of its text.
    std::string reason;
    auto file = qzr::InputFile::Open(*script, reason);
    if (!file) {
        std::fprintf(stderr, "ymrender: cannot read %s\n", script->c_str());
        return kExitBadInput;
    }
    qzr::TextLines lines(*file);
    const auto parsed = qzr::ymrender::ParseRegisterScript(lines);
    if (lines.Failed()) {
        std::fprintf(stderr, "ymrender: cannot read %s\n", script->c_str());
        return kExitBadInput;
    }
    if (parsed.error) {
        std::fprintf(stderr, "%s:%zu: %s\n", script->c_str(), parsed.error->line,
                     parsed.error->message.c_str());
        return kExitBadInput;
    }
    const auto scheduled = qzr::ymrender::ScheduleWrites(parsed.writes);
    const std::uint64_t count = samples.value_or(qzr::ymrender::DefaultSampleCount(scheduled));
    if (count > kMaxFrames) {
        std::fprintf(stderr, "ymrender: %llu samples is more than the %llu a render may have\n",
                     static_cast<unsigned long long>(count),
                     static_cast<unsigned long long>(kMaxFrames));
        return kExitBadInput;
    }
    const auto frames = qzr::ymrender::RenderScript(scheduled, count);
    const std::string path = output.value_or(*script + ".wav");
    const std::string error = qzr::ymrender::WriteFileReplacing(
        path, qzr::ymrender::EncodeWav(frames, qzr::ymrender::kNativeWavRate));
    if (!error.empty()) {
        std::fprintf(stderr, "ymrender: %s\n", error.c_str());
        return kExitCannotWrite;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("ymrender: not enough memory for this script and render\n", stderr);
        return kExitBadInput;
    }
}
