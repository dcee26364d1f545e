#include "render_rules.h"

#include <array>
#include <cmath>

#include "qzr/common/wav_writer.h"
#include "qzr/emulator_engine/engine.h"

namespace qzr::tools {
namespace {

// "6.8 GB"
std::string Size(double bytes) {
    std::array<char, 64> text{};
    if (bytes >= 1e9) {
        std::snprintf(text.data(), text.size(), "%.1f GB", bytes / 1e9);
    } else {
        std::snprintf(text.data(), text.size(), "%.1f MB", bytes / 1e6);
    }
    return text.data();
}

// Empty when the number is finite and in range, else what is wrong with it.
std::string CheckNumber(const char* option, double value, double lowest, bool lowestAllowed) {
    if (std::isfinite(value) && (value > lowest || (lowestAllowed && value == lowest))) return {};
    std::array<char, 64> given{};
    std::snprintf(given.data(), given.size(), "%g", value);
    return std::string(option) + " takes a finite number " + (lowestAllowed ? "of " : "above ") +
           (lowest == 0 ? "0" : std::to_string(lowest)) + (lowestAllowed ? " or more" : "") +
           ", not " + given.data();
}

}  // namespace

// "1:02:03.5"
std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(seconds);
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%lld:%02lld:%04.1f", whole / 3600, whole / 60 % 60,
                  seconds - static_cast<double>(whole - whole % 60));
    return text.data();
}

std::string CheckRenderNumbers(const RenderOptions& options) {
    std::string error;
    if (options.seconds) error = CheckNumber("--seconds", *options.seconds, 0, false);
    if (error.empty()) error = CheckNumber("--max-seconds", options.maxSeconds, 0, false);
    if (error.empty()) error = CheckNumber("--fade", options.fadeSeconds, 0, true);
    if (error.empty() &&
        (!std::isfinite(options.gainDb) || std::abs(options.gainDb) > kMostGainDb)) {
        error = "--gain takes a finite number of decibels from -96 to 96";
    }
    if (error.empty() && (options.loops < 1 || options.loops > kMostLoops)) {
        error = "--loops takes 1 to " + std::to_string(kMostLoops);
    }
    if (error.empty() && (options.sampleRate < emulator::kMinSampleRate ||
                          options.sampleRate > emulator::kMaxSampleRate)) {
        error = "--rate takes " + std::to_string(emulator::kMinSampleRate) + " to " +
                std::to_string(emulator::kMaxSampleRate) + " Hz";
    }
    return error;
}

std::string CheckPlannedLength(double seconds, const RenderOptions& options) {
    const double rate = options.sampleRate;
    const double frames = std::ceil(seconds * rate);
    const std::string planned = "the render would last " + Duration(seconds) + " (" +
                                Size(frames * kWavBytesPerFrame) + " of 16-bit stereo at " +
                                std::to_string(options.sampleRate) + " Hz)";
    if (frames > static_cast<double>(MaxFrames(options.format))) {
        return planned + ", more than a" + (options.format == SoundFormat::WAV ? " WAV" : " FLAC") +
               " file can hold (" +
               Duration(static_cast<double>(MaxFrames(options.format)) / rate) + ")" +
               (options.format == SoundFormat::WAV ? "; a .flac output holds more" : "");
    }
    if (seconds > options.maxSeconds) {
        return planned + ", longer than the " + Duration(options.maxSeconds) +
               " allowed; give --max-seconds to allow it (or --seconds to cut it short)";
    }
    return {};
}

void ApplyFade(std::span<std::int16_t> interleaved, std::int64_t firstFrame,
               const RenderLength& length) {
    const std::int64_t fadeStart = length.frames - length.fadeFrames;
    for (std::size_t i = 0; i < interleaved.size(); ++i) {
        const std::int64_t frame = firstFrame + static_cast<std::int64_t>(i / 2);
        if (frame < fadeStart) continue;
        const std::int64_t left = length.frames - frame;
        interleaved[i] = static_cast<std::int16_t>(interleaved[i] * left / length.fadeFrames);
    }
}

bool MayRenderWithoutSeconds(const LoadedSong& loaded, const RenderOptions& options,
                             const char* advice, std::FILE* err) {
    if (loaded.Sound() || options.seconds) return true;
    const std::string songName = options.song.string();
    for (const SongFinding& finding : loaded.findings) {
        if (finding.disqualifies) {
            std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), finding.message.c_str());
        }
    }
    std::fprintf(err, "qzr: %s: this is no %s song as it stands%s\n", songName.c_str(),
                 std::string(SongKindName(options.kind)).c_str(), advice);
    return false;
}

WavStreamWriter WavToStream(std::uint64_t frames, int sampleRate, std::FILE* out) {
    return WavStreamWriter(
        frames, static_cast<std::uint32_t>(sampleRate), [out](std::span<const std::uint8_t> bytes) {
            return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        });
}

void ReportLevel(std::FILE* err, const std::string& outputName, const SoundLevel& level) {
    std::fprintf(err, "qzr: %s: %s\n", outputName.c_str(), level.Describe().c_str());
    if (level.Clipped() > 0) {
        std::fprintf(err,
                     "qzr: warning: %s: %llu samples are at full scale, so the sound is clipped "
                     "there; lower the level with --gain (for example --gain -6)\n",
                     outputName.c_str(), static_cast<unsigned long long>(level.Clipped()));
    }
}

}  // namespace qzr::tools
