#include "qzr/tools/render.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <vector>

#include "progress_bar.h"
#include "qzr/common/file_replacement.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/player_timing.h"
#include "qzr/player_core/player.h"
#include "qzr/tools/engine_port.h"
#include "qzr/tools/song_input.h"
#include "qzr/tools/sound_file.h"

namespace qzr::tools {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr std::int32_t kLatencyMs = 200;

std::int64_t SecondsToFrames(double seconds, int rate) {
    return static_cast<std::int64_t>(std::llround(seconds * rate));
}

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto canonicalA = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, ec);
    return !ec && canonicalA == canonicalB;
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

std::optional<RenderLength> PlanRender(const SongImage& song, const RenderOptions& options,
                                       std::string& error) {
    RenderLength length;
    const std::int64_t passTicks = song.TicksPerPass();
    if (passTicks == 0 && !options.seconds) {
        error = song.Speed() == 0 ? "the song's speed is 0, so it never reaches its end"
                                  : "the song has no rows, so it never reaches its end";
        error += "; give its length with --seconds";
        return std::nullopt;
    }
    const std::int64_t rate = options.sampleRate;
    if (passTicks == 0) {
        length.frames = SecondsToFrames(*options.seconds, options.sampleRate);
    } else {
        // Whole ticks of kTickPeriodMs: N passes, rounded up to a frame, then the release tail.
        const std::int64_t ticks = passTicks * options.loops;
        const std::int64_t ticksPerSecond = 1000 / kTickPeriodMs;
        length.frames = (ticks * rate + ticksPerSecond - 1) / ticksPerSecond +
                        SecondsToFrames(kReleaseTailSeconds, options.sampleRate);
        if (options.seconds) {
            length.frames =
                std::min(length.frames, SecondsToFrames(*options.seconds, options.sampleRate));
        }
    }
    length.fadeFrames =
        std::min(length.frames, SecondsToFrames(options.fadeSeconds, options.sampleRate));
    return length;
}

bool RenderFrames(const SongImage& song, const std::filesystem::path& songPath,
                  const RenderOptions& options, const RenderLength& length, const FrameSink& sink,
                  const std::function<void(double)>& progress, std::string& error) {
    emulator::Engine engine;
    EnginePort port(engine, emulator::Output::Offline);
    port.SetMutedChannels(options.mutedChannels);
    // After the last pass the player stops and the notes release through the tail.
    if (song.TicksPerPass() > 0) {
        port.SetTickLimit(static_cast<std::uint64_t>(song.TicksPerPass() * options.loops));
    }
    if (player::InitOPM(port, options.sampleRate, kLatencyMs) != 0) {
        error = "the emulator cannot start at " + std::to_string(options.sampleRate) + " Hz";
        return false;
    }
    const std::string path = songPath.string();
    if (song.Kind() == SongKind::OPM) {
        player::PlaySong(port, path.c_str());
    } else {
        player::PlaySong2(port, path.c_str());
    }

    std::vector<std::int16_t> buffer(kChunkFrames * 2);
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

int RunRender(const RenderOptions& options, std::FILE* out, std::FILE* err) {
    const bool toStdout = options.output == "-";
    const std::filesystem::path outputPath = options.output.empty()
                                                 ? DefaultRenderOutput(options.song)
                                                 : std::filesystem::path(options.output);
    std::optional<SoundFormat> format = SoundFormat::WAV;
    if (!toStdout) {
        format = SoundFormatFor(outputPath);
        if (!format) {
            std::fprintf(err, "qzr: %s: the output must end in .wav or .flac\n",
                         outputPath.string().c_str());
            return 2;
        }
        if (SamePath(outputPath, options.song)) {
            std::fprintf(err, "qzr: %s: the output would overwrite the song\n",
                         outputPath.string().c_str());
            return 2;
        }
    }
    const auto loaded = LoadSong(options.song, options.kind, err);
    if (!loaded) return 2;
    const SongImage* song = &loaded->image;
    std::string error;
    if (!loaded->Sound() && !options.seconds) {
        for (const SongFinding& finding : loaded->findings) {
            if (finding.disqualifies) {
                std::fprintf(err, "qzr: %s: %s\n", options.song.string().c_str(),
                             finding.message.c_str());
            }
        }
        std::fprintf(err,
                     "qzr: %s: this is no %s song as it stands, so its length says nothing; give "
                     "the length with --seconds to render it anyway\n",
                     options.song.string().c_str(),
                     std::string(SongKindName(options.kind)).c_str());
        return 2;
    }
    const auto length = PlanRender(*song, options, error);
    if (!length) {
        std::fprintf(err, "qzr: %s: %s\n", options.song.string().c_str(), error.c_str());
        return 2;
    }

    // The output is replaced only by a whole render; an interrupted or failed one leaves
    // nothing behind.
    FileReplacement replacement(outputPath);
    std::unique_ptr<SoundFileWriter> writer;
    if (toStdout) {
        writer = SoundFileWriter::ToMemory(*format, options.sampleRate, error);
    } else if (!replacement.Open(error)) {
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    } else {
        writer = SoundFileWriter::ToDescriptor(replacement.Descriptor(), *format,
                                               options.sampleRate, error);
    }
    if (!writer) {
        std::fprintf(err, "qzr: %s: %s\n", outputPath.string().c_str(), error.c_str());
        return 1;
    }

    std::optional<ProgressBar> bar;
    if (options.progressBar) bar.emplace(err);
    const bool rendered = RenderFrames(
        *song, options.song, options, *length,
        [&writer](std::span<const std::int16_t> frames) { return writer->Write(frames); },
        [&bar](double fraction) {
            if (bar) bar->Show(fraction);
        },
        error);
    bar.reset();
    if (!rendered || !writer->Close(error)) {
        std::fprintf(err, "qzr: %s: %s\n", outputPath.string().c_str(), error.c_str());
        return 1;
    }
    if (toStdout) {
        const auto& bytes = writer->MemoryBytes();
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fflush(out) != 0) {
            std::fprintf(err, "qzr: cannot write to standard output\n");
            return 1;
        }
        return 0;
    }
    if (!replacement.Commit(error)) {
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace qzr::tools
