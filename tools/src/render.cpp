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
#include "render_rules.h"
#include "sound_level.h"
#include "sound_output.h"

namespace qzr::tools {
namespace {

constexpr std::int32_t kLatencyMs = 200;

// Only after the plan has checked that the result fits.
std::int64_t SecondsToFrames(double seconds, int rate) {
    return static_cast<std::int64_t>(std::llround(seconds * rate));
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
    error = CheckRenderNumbers(options);
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
    error = CheckPlannedLength(seconds, options);
    if (!error.empty()) return std::nullopt;

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

std::filesystem::path StemPath(const std::filesystem::path& mix, int channel) {
    std::filesystem::path stem = mix;
    stem.replace_filename(mix.stem().string() + ".ch" + std::to_string(channel + 1) +
                          mix.extension().string());
    return stem;
}

bool RenderFrames(const SongImage& song, const RenderOptions& options, const RenderLength& length,
                  const FrameSink& sink, const std::function<void(double)>& progress,
                  std::string& error, const StemSink& stems) {
    emulator::Engine engine;
    EnginePort port(engine, emulator::Output::Offline);
    port.SetMutedChannels(options.mutedChannels);
    port.SetChannelStems(static_cast<bool>(stems));
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

    std::vector<std::int16_t> buffer(kRenderChunkFrames * 2);
    std::vector<std::int16_t> stemBuffer(stems ? kRenderChunkFrames * emulator::kStemValuesPerFrame
                                               : 0);
    std::vector<std::int16_t> oneStem(stems ? kRenderChunkFrames * 2 : 0);
    const double gain = GainFactor(options.gainDb);
    // The level and the fade, as every output of the render gets them.
    const auto finish = [&](std::span<std::int16_t> frames, std::int64_t firstFrame) {
        if (options.gainDb != 0) ApplyGain(frames, gain);
        if (length.fadeFrames > 0) ApplyFade(frames, firstFrame, length);
    };
    bool ok = true;
    for (std::int64_t done = 0; done < length.frames && ok;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            length.frames - done, static_cast<std::int64_t>(kRenderChunkFrames)));
        const std::span<std::int16_t> chunk(buffer.data(), want * 2);
        const std::span<std::int16_t> stemChunk(stemBuffer.data(),
                                                stems ? want * emulator::kStemValuesPerFrame : 0);
        const std::size_t got =
            stems ? engine.RenderWithStems(chunk, stemChunk) : engine.Render(chunk);
        if (got != want) {
            error = "the emulator stopped rendering";
            ok = false;
            break;
        }
        finish(chunk, done);
        if (!sink(chunk)) {
            error = "cannot write the sound";
            ok = false;
        }
        for (int c = 0; ok && stems && c < song.Target().channelCount; ++c) {
            const std::span<std::int16_t> alone(oneStem.data(), want * 2);
            for (std::size_t f = 0; f < want; ++f) {
                const std::size_t at =
                    f * emulator::kStemValuesPerFrame + 2 * static_cast<std::size_t>(c);
                alone[2 * f] = stemChunk[at];
                alone[2 * f + 1] = stemChunk[at + 1];
            }
            finish(alone, done);
            if (!stems(c, alone)) {
                error = "cannot write the sound";
                ok = false;
            }
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
    const bool withStems = !options.stemsFolder.empty();
    std::filesystem::path outputPath = options.output.empty()
                                           ? DefaultRenderOutput(options.song)
                                           : std::filesystem::path(options.output);
    if (withStems) {
        if (toStdout) {
            std::fprintf(err, "qzr: --stems writes files; it cannot go with -o -\n");
            return 2;
        }
        outputPath = options.stemsFolder / outputPath.filename();
    }
    options.format = SoundFormat::WAV;
    if (!toStdout && IsVgmPath(outputPath) && !SamePath(outputPath, options.song)) {
        return RunVgmExport(options, outputPath, err);
    }
    if (IsVgmPath(options.song)) return RunVgmRender(options, toStdout, outputPath, out, err);
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
    if (!MayRenderWithoutSeconds(*loaded, options,
                                 ", so its length says nothing; give the length with --seconds to "
                                 "render it anyway",
                                 err)) {
        return 2;
    }
    std::string error;
    const auto length = PlanRender(song, options, error);
    if (!length) {
        std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), error.c_str());
        return 2;
    }
    const auto frames = static_cast<std::uint64_t>(length->frames);

    // Files: the mix, then a stem per channel, each put in place only when all are whole.
    // Standard output: a WAV as it goes, through the project's one WAV writer.
    std::vector<std::unique_ptr<SoundOutput>> files;
    std::optional<WavStreamWriter> piped;
    if (toStdout) {
        piped.emplace(WavToStream(frames, options.sampleRate, out));
    } else {
        std::error_code ec;
        if (withStems && !std::filesystem::is_directory(options.stemsFolder, ec) &&
            !std::filesystem::create_directories(options.stemsFolder, ec)) {
            std::fprintf(err, "qzr: %s: cannot make the folder for the stems: %s\n",
                         options.stemsFolder.string().c_str(), ec.message().c_str());
            return 1;
        }
        files.push_back(std::make_unique<SoundOutput>(outputPath));
        for (int c = 0; withStems && c < song.Target().channelCount; ++c) {
            files.push_back(std::make_unique<SoundOutput>(StemPath(outputPath, c)));
        }
        for (const auto& file : files) {
            if (!file->Open(options.format, frames, options.sampleRate, error)) {
                std::fprintf(err, "qzr: %s\n", error.c_str());
                return 1;
            }
        }
    }

    std::optional<ProgressBar> bar;
    if (options.progressBar) bar.emplace(err);
    SoundLevel level;
    const SoundOutput* failed = nullptr;  // the file a write failed on
    StemSink stems;
    if (withStems) {
        stems = [&files, &failed](int channel, std::span<const std::int16_t> part) {
            SoundOutput& file = *files[static_cast<std::size_t>(channel) + 1];
            if (!file.Write(part)) failed = &file;
            return failed == nullptr;
        };
    }
    bool ok = RenderFrames(
        song, options, *length,
        [&](std::span<const std::int16_t> mix) {
            level.Measure(mix);
            if (piped) return piped->Write(mix);
            if (!files.front()->Write(mix)) failed = files.front().get();
            return failed == nullptr;
        },
        [&bar, &options](double fraction) {
            if (bar) bar->Show(fraction);
            if (options.progress) options.progress(fraction);
        },
        error, stems);
    bar.reset();
    const std::string outputName = toStdout ? "standard output" : outputPath.string();
    if (!ok) error = failed != nullptr ? failed->WriteError() : outputName + ": " + error;
    if (ok && piped && (!piped->Finish() || std::fflush(out) != 0)) {
        error = "standard output: cannot write the sound";
        ok = false;
    }
    // Every file whole first, then each put in place.
    for (const auto& file : files) ok = ok && file->Finish(error);
    for (const auto& file : files) ok = ok && file->Commit(error);
    if (!ok) {
        for (const auto& file : files) file->Discard();
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    }
    ReportLevel(err, outputName, level);
    if (withStems) {
        std::fprintf(err, "qzr: %s: the mix and %d stems\n", options.stemsFolder.string().c_str(),
                     song.Target().channelCount);
    }
    return 0;
}

}  // namespace qzr::tools
