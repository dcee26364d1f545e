#include "qzr/tools/render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <system_error>
#include <vector>

#include "progress_bar.h"
#include "qzr/common/file_reading.h"
#include "qzr/common/file_replacement.h"
#include "qzr/common/wav_writer.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/player_timing.h"
#include "qzr/player_core/player.h"
#include "qzr/tools/engine_port.h"
#include "qzr/tools/song_input.h"
#include "qzr/tools/sound_file.h"
#include "qzr/tools/vgm_tools.h"
#include "sound_level.h"

namespace qzr::tools {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr std::int32_t kLatencyMs = 200;

constexpr int kLowestRate = 8'000;
constexpr int kHighestRate = 192'000;
constexpr int kMostLoops = 1000;

// Only after the plan has checked that the result fits.
std::int64_t SecondsToFrames(double seconds, int rate) {
    return static_cast<std::int64_t>(std::llround(seconds * rate));
}

// "1:02:03.5"
std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(seconds);
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%lld:%02lld:%04.1f", whole / 3600, whole / 60 % 60,
                  seconds - static_cast<double>(whole - whole % 60));
    return text.data();
}

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

}  // namespace

std::filesystem::path DefaultRenderOutput(const std::filesystem::path& song) {
    std::filesystem::path output = song;
    output.replace_extension(".wav");
    return output;
}

std::uint64_t MaxFrames(SoundFormat format) {
    return format == SoundFormat::WAV ? kMaxWavFrames : kMaxFlacFrames;
}

std::optional<RenderLength> PlanRender(const SongImage& song, const RenderOptions& options,
                                       std::string& error) {
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
    if (error.empty() && (options.sampleRate < kLowestRate || options.sampleRate > kHighestRate)) {
        error = "--rate takes " + std::to_string(kLowestRate) + " to " +
                std::to_string(kHighestRate) + " Hz";
    }
    if (!error.empty()) return std::nullopt;

    const std::int64_t passTicks = song.TicksPerPass();
    if (passTicks == 0 && !options.seconds) {
        error = song.Speed() == 0 ? "the song's speed is 0, so it never reaches its end"
                                  : "the song has no rows, so it never reaches its end";
        error += "; give its length with --seconds";
        return std::nullopt;
    }
    // In seconds first, where no number overflows: N passes of whole ticks, then the tail, or
    // the fade while the music plays on.
    const double rate = options.sampleRate;
    const double tickSeconds = kTickPeriodMs / 1000.0;
    const bool fades = options.fadeSeconds > 0;
    const double afterPasses = fades ? options.fadeSeconds : kReleaseTailSeconds;
    double seconds =
        passTicks == 0 ? *options.seconds
                       : static_cast<double>(passTicks) * options.loops * tickSeconds + afterPasses;
    if (options.seconds) seconds = std::min(seconds, *options.seconds);
    const double frames = std::ceil(seconds * rate);
    const std::string planned = "the render would last " + Duration(seconds) + " (" +
                                Size(frames * kWavBytesPerFrame) + " of 16-bit stereo at " +
                                std::to_string(options.sampleRate) + " Hz)";
    if (frames > static_cast<double>(MaxFrames(options.format))) {
        error = planned + ", more than a" +
                (options.format == SoundFormat::WAV ? " WAV" : " FLAC") + " file can hold (" +
                Duration(static_cast<double>(MaxFrames(options.format)) / rate) + ")" +
                (options.format == SoundFormat::WAV ? "; a .flac output holds more" : "");
        return std::nullopt;
    }
    if (seconds > options.maxSeconds) {
        error = planned + ", longer than the " + Duration(options.maxSeconds) +
                " allowed; give --max-seconds to allow it (or --seconds to cut it short)";
        return std::nullopt;
    }

    RenderLength length;
    if (passTicks == 0) {
        length.frames = SecondsToFrames(seconds, options.sampleRate);
    } else {
        // Whole ticks: N passes, rounded up to a frame, then the release tail or the fade.
        const std::int64_t ticks = passTicks * options.loops;
        const std::int64_t ticksPerSecond = 1000 / kTickPeriodMs;
        length.frames = (ticks * options.sampleRate + ticksPerSecond - 1) / ticksPerSecond +
                        SecondsToFrames(afterPasses, options.sampleRate);
        // A cap beyond the song's length may be any finite number: compared before converting.
        if (options.seconds && *options.seconds * rate < static_cast<double>(length.frames)) {
            length.frames = SecondsToFrames(*options.seconds, options.sampleRate);
        }
    }
    length.fadeFrames =
        SecondsToFrames(std::min(options.fadeSeconds, static_cast<double>(length.frames) / rate),
                        options.sampleRate);
    length.fadeFrames = std::min(length.fadeFrames, length.frames);
    return length;
}

bool RenderFrames(const SongImage& song, const RenderOptions& options, const RenderLength& length,
                  const FrameSink& sink, const std::function<void(double)>& progress,
                  std::string& error) {
    emulator::Engine engine;
    EnginePort port(engine, emulator::Output::Offline);
    port.SetMutedChannels(options.mutedChannels);
    // After the last pass the player stops and the notes release through the tail; a fade
    // lets it play on.
    if (song.TicksPerPass() > 0 && length.fadeFrames == 0) {
        port.SetTickLimit(static_cast<std::uint64_t>(song.TicksPerPass() * options.loops));
    }
    if (player::InitOPM(port, options.sampleRate, kLatencyMs) != 0) {
        error = "the emulator cannot start at " + std::to_string(options.sampleRate) + " Hz";
        return false;
    }
    player::PlaySongImage(port, song);

    std::vector<std::int16_t> buffer(kChunkFrames * 2);
    const double gain = GainFactor(options.gainDb);
    bool ok = true;
    for (std::int64_t done = 0; done < length.frames && ok;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(length.frames - done, static_cast<std::int64_t>(kChunkFrames)));
        const std::span<std::int16_t> chunk(buffer.data(), want * 2);
        const std::size_t got = engine.Render(chunk);
        if (got != want) {
            error = "the emulator stopped rendering";
            ok = false;
            break;
        }
        if (options.gainDb != 0) ApplyGain(chunk, gain);
        if (length.fadeFrames > 0) ApplyFade(chunk, done, length);
        if (!sink(chunk)) {
            error = "cannot write the sound";
            ok = false;
        }
        done += static_cast<std::int64_t>(want);
        if (progress) progress(static_cast<double>(done) / static_cast<double>(length.frames));
    }
    player::StopSong(port);
    player::ReleaseOPM(port);
    return ok;
}

int RunRender(const RenderOptions& given, std::FILE* out, std::FILE* err) {
    RenderOptions options = given;
    const bool toStdout = options.output == "-";
    const std::filesystem::path outputPath = options.output.empty()
                                                 ? DefaultRenderOutput(options.song)
                                                 : std::filesystem::path(options.output);
    options.format = SoundFormat::WAV;
    if (!toStdout && IsVgmPath(outputPath) && !SamePath(outputPath, options.song)) {
        return RunVgmExport(options, outputPath, err);
    }
    if (!toStdout && IsVgmPath(options.song)) return RunVgmRender(options, outputPath, err);
    if (!toStdout) {
        const auto format = SoundFormatFor(outputPath);
        if (!format) {
            std::fprintf(err, "qzr: %s: the output must end in .wav, .flac, .vgm or .vgz\n",
                         outputPath.string().c_str());
            return 2;
        }
        options.format = *format;
        if (SamePath(outputPath, options.song)) {
            std::fprintf(err, "qzr: %s: the output would overwrite the song\n",
                         outputPath.string().c_str());
            return 2;
        }
    }
    // Read once: the player plays these very bytes.
    const auto loaded = LoadSong(options.song, options.kind, err);
    if (!loaded) return 2;
    const SongImage& song = loaded->image;
    const std::string songName = options.song.string();
    if (!loaded->Sound() && !options.seconds) {
        for (const SongFinding& finding : loaded->findings) {
            if (finding.disqualifies) {
                std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), finding.message.c_str());
            }
        }
        std::fprintf(err,
                     "qzr: %s: this is no %s song as it stands, so its length says nothing; give "
                     "the length with --seconds to render it anyway\n",
                     songName.c_str(), std::string(SongKindName(options.kind)).c_str());
        return 2;
    }
    std::string error;
    const auto length = PlanRender(song, options, error);
    if (!length) {
        std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), error.c_str());
        return 2;
    }

    // WAV goes through the project's one WAV writer, to the output's replacement or to standard
    // output; FLAC through libsndfile into the replacement.
    FileReplacement replacement(outputPath);
    if (!toStdout && !replacement.Open(error)) {
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    }
    std::string writeError;  // what the replacement says when a write fails (a full disk)
    std::optional<WavStreamWriter> wav;
    std::unique_ptr<SoundFileWriter> flac;
    if (options.format == SoundFormat::WAV) {
        WavStreamWriter::ByteSink sink = [out](std::span<const std::uint8_t> bytes) {
            return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        };
        if (!toStdout) {
            sink = [&replacement, &writeError](std::span<const std::uint8_t> bytes) {
                return replacement.Write(bytes, writeError);
            };
        }
        wav.emplace(static_cast<std::uint64_t>(length->frames),
                    static_cast<std::uint32_t>(options.sampleRate), std::move(sink));
    } else {
        flac = SoundFileWriter::ToDescriptor(replacement.Descriptor(), SoundFormat::FLAC,
                                             options.sampleRate, error);
        if (!flac) {
            std::fprintf(err, "qzr: %s: %s\n", outputPath.string().c_str(), error.c_str());
            return 1;
        }
    }

    std::optional<ProgressBar> bar;
    if (options.progressBar) bar.emplace(err);
    SoundLevel level;
    bool ok = RenderFrames(
        song, options, *length,
        [&](std::span<const std::int16_t> frames) {
            level.Measure(frames);
            return wav ? wav->Write(frames) : flac->Write(frames);
        },
        [&bar](double fraction) {
            if (bar) bar->Show(fraction);
        },
        error);
    bar.reset();
    if (ok && wav) {
        ok = wav->Finish() && (!toStdout || std::fflush(out) == 0);
        if (!ok) error = "cannot write the sound";
    }
    if (ok && flac) ok = flac->Close(error);
    if (!ok) {
        std::fprintf(err, "qzr: %s: %s\n",
                     toStdout ? "standard output" : outputPath.string().c_str(),
                     (writeError.empty() ? error : writeError).c_str());
        return 1;
    }
    if (!toStdout && !replacement.Commit(error)) {
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    }
    const std::string outputName = toStdout ? "standard output" : outputPath.string();
    std::fprintf(err, "qzr: %s: %s\n", outputName.c_str(), level.Describe().c_str());
    if (level.Clipped() > 0) {
        std::fprintf(err,
                     "qzr: warning: %s: %llu samples are at full scale, so the sound is clipped "
                     "there; lower the level with --gain (for example --gain -6)\n",
                     outputName.c_str(), static_cast<unsigned long long>(level.Clipped()));
    }
    return 0;
}

}  // namespace qzr::tools
