#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "interrupt.h"
#include "qzr/common/file_reading.h"
#include "qzr/common/file_replacement.h"
#include "qzr/common/wav_writer.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/tools/sound_file.h"
#include "qzr/tools/vgm_tools.h"
#include "qzr/vgm/vgm_layout.h"
#include "render_rules.h"
#include "sound_level.h"
#include "sound_output.h"

namespace qzr::tools {
namespace {

constexpr int kChannels = 8;

// The VGM being played: the engine calls Feed before every native sample, and Feed queues the
// writes due by then (the engine's queue hands the chip one a sample). One stream per process,
// as the engine's tick is a plain procedure; set up before the engine starts, read by the
// rendering thread only until it stops.
struct Stream {
    const vgm::VgmSong* song = nullptr;
    emulator::Engine* engine = nullptr;
    std::uint64_t clockHz = 0;
    std::size_t next = 0;         // the next write
    std::uint64_t offset = 0;     // VGM samples added to the writes' own for the current pass
    int passesLeft = 0;           // loop passes still to come after the current one
    std::uint64_t endNative = 0;  // the native sample where the last pass ends
    bool keyedOff = false;
    std::atomic<bool> ended{false};  // the last pass is over; read by the host
};
Stream gStream;

// A VGM sample as a native sample of the chip at `clockHz`, rounded.
// Whole periods of the denominator first, so no product outgrows 64 bits on any platform (32-bit
// Windows has no 128-bit integer): exactly (vgmSample x clockHz + d / 2) / d for every chip clock
// below 2^32 Hz.
std::uint64_t NativeSample(std::uint64_t vgmSample, std::uint64_t clockHz) {
    const std::uint64_t denominator =
        std::uint64_t{emulator::kClocksPerSample} * vgm::kSampleRateHz;
    const std::uint64_t whole = vgmSample / denominator;
    const std::uint64_t rest = vgmSample % denominator;
    return whole * clockHz + (rest * clockHz * 2 + denominator) / (denominator * 2);
}

void Feed() {
    Stream& s = gStream;
    const std::uint64_t now = s.engine->NativeSamplePosition();
    const std::vector<vgm::TimedWrite>& writes = s.song->writes;
    for (;;) {
        if (s.next == writes.size()) {
            if (s.passesLeft == 0 || !s.song->loopSample) break;
            --s.passesLeft;
            s.next = s.song->loopWrite;
            s.offset += s.song->LoopSamples();
            continue;
        }
        const vgm::TimedWrite& write = writes[s.next];
        if (NativeSample(write.sample + s.offset, s.clockHz) > now) break;
        s.engine->Write(write.reg, write.value);
        ++s.next;
    }
    if (now >= s.endNative && !s.keyedOff) {
        s.keyedOff = true;
        s.ended.store(true);
        // A loop cut short leaves notes on: they release through the tail, as a song's do.
        if (s.song->loopSample) {
            for (int c = 0; c < kChannels; ++c) {
                s.engine->Write(ym2151::kRegKeyOn, static_cast<std::uint8_t>(c));
            }
        }
    }
}

// Where the music of `loops` passes ends, in VGM samples.
std::uint64_t MusicSamples(const vgm::VgmSong& song, int loops) {
    if (!song.loopSample) return song.totalSamples;
    return *song.loopSample + static_cast<std::uint64_t>(loops) * song.LoopSamples();
}

bool StartStream(emulator::Engine& engine, const vgm::VgmSong& song, int loops, int sampleRate,
                 emulator::Output output, std::string& error) {
    gStream.song = &song;
    gStream.engine = &engine;
    gStream.clockHz = song.clockHz;
    gStream.next = 0;
    gStream.offset = 0;
    gStream.passesLeft = loops - 1;
    gStream.endNative = NativeSample(MusicSamples(song, loops), song.clockHz);
    gStream.keyedOff = false;
    gStream.ended.store(false);
    emulator::StartOptions start;
    start.sampleRate = sampleRate;
    start.output = output;
    start.clockHz = song.clockHz;
    start.tickEverySample = true;
    engine.SetTickProcedure(&Feed);
    const emulator::StartResult result = engine.Start(start);
    if (result == emulator::StartResult::ClockOutOfRange) {
        error = "the YM2151 clock of " + std::to_string(song.clockHz) + " Hz is outside what " +
                "the emulator runs at (" + std::to_string(emulator::kMinClockHz) + " to " +
                std::to_string(emulator::kMaxClockHz) + " Hz)";
        return false;
    }
    if (result != emulator::StartResult::Started) {
        error = "the emulator cannot start at " + std::to_string(sampleRate) + " Hz";
        return false;
    }
    return true;
}

}  // namespace

std::optional<vgm::VgmSong> LoadVgm(const std::filesystem::path& path, std::FILE* err, bool quiet) {
    const std::string name = path.string();
    std::string error;
    auto head = ReadFileHead(path, vgm::kMaxFileBytes, error);
    if (!head) {
        std::fprintf(err, "qzr: cannot read %s: %s\n", name.c_str(), error.c_str());
        return std::nullopt;
    }
    if (head->size > vgm::kMaxFileBytes) {
        std::fprintf(err, "qzr: %s: larger than the %zu MB a VGM is read to\n", name.c_str(),
                     vgm::kMaxFileBytes >> 20);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes = std::move(head->bytes);
    if (vgm::LooksGzipped(bytes)) {
        auto unpacked = vgm::Gunzip(bytes, vgm::kMaxFileBytes, error);
        if (!unpacked) {
            std::fprintf(err, "qzr: %s: %s\n", name.c_str(), error.c_str());
            return std::nullopt;
        }
        bytes = std::move(*unpacked);
    }
    auto song = vgm::ReadVgm(bytes, error);
    if (!song) {
        std::fprintf(err, "qzr: %s: %s\n", name.c_str(), error.c_str());
        return std::nullopt;
    }
    if (!quiet) {
        for (const std::string& warning : song->warnings) {
            std::fprintf(err, "qzr: warning: %s: %s\n", name.c_str(), warning.c_str());
        }
    }
    return song;
}

std::optional<RenderLength> PlanVgmRender(const vgm::VgmSong& song, const RenderOptions& options,
                                          std::string& error) {
    error = CheckRenderNumbers(options);
    if (!error.empty()) return std::nullopt;
    // As for a song: the passes, then the release tail, or the fade while the music plays on.
    const double afterPasses = options.fadeSeconds > 0 ? options.fadeSeconds : kReleaseTailSeconds;
    double seconds = static_cast<double>(MusicSamples(song, options.loops)) /
                         static_cast<double>(vgm::kSampleRateHz) +
                     afterPasses;
    if (options.seconds) seconds = std::min(seconds, *options.seconds);
    error = CheckPlannedLength(seconds, options);
    if (!error.empty()) return std::nullopt;
    const double frames = std::ceil(seconds * options.sampleRate);
    RenderLength length;
    length.frames = static_cast<std::int64_t>(frames);
    length.fadeFrames =
        std::min(length.frames,
                 static_cast<std::int64_t>(std::llround(options.fadeSeconds * options.sampleRate)));
    return length;
}

bool RenderVgmFrames(const vgm::VgmSong& song, const RenderOptions& options,
                     const RenderLength& length, const FrameSink& sink, std::string& error) {
    emulator::Engine engine;
    // A fade plays on into the passes after the last one, as far as it reaches.
    int passes = options.loops;
    if (options.fadeSeconds > 0 && song.LoopSamples() > 0) {
        const double loopSeconds =
            static_cast<double>(song.LoopSamples()) / static_cast<double>(vgm::kSampleRateHz);
        passes += static_cast<int>(std::min(std::ceil(options.fadeSeconds / loopSeconds), 1e6));
    }
    if (!StartStream(engine, song, passes, options.sampleRate, emulator::Output::Offline, error)) {
        return false;
    }
    const double gain = GainFactor(options.gainDb);
    std::vector<std::int16_t> buffer(kRenderChunkFrames * 2);
    bool ok = true;
    for (std::int64_t done = 0; done < length.frames && ok;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            length.frames - done, static_cast<std::int64_t>(kRenderChunkFrames)));
        const std::span<std::int16_t> chunk(buffer.data(), want * 2);
        if (engine.Render(chunk) != want) {
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
    }
    engine.Stop();
    return ok;
}

int RunVgmRender(const RenderOptions& given, bool toStdout, const std::filesystem::path& output,
                 std::FILE* out, std::FILE* err) {
    RenderOptions options = given;
    options.format = SoundFormat::WAV;
    const std::string outputName = toStdout ? "standard output" : output.string();
    if (!options.stemsFolder.empty()) {
        std::fprintf(err, "qzr: --stems takes a song; a VGM renders as one mix\n");
        return 2;
    }
    if (!toStdout) {
        const auto format = SoundFormatFor(output);
        if (!format) {
            std::fprintf(err, "qzr: %s: the output of a VGM's render must end in .wav or .flac\n",
                         outputName.c_str());
            return 2;
        }
        if (SamePath(output, options.song)) {
            std::fprintf(err, "qzr: %s: the output would overwrite the VGM\n", outputName.c_str());
            return 2;
        }
        options.format = *format;
    }
    const auto song = LoadVgm(options.song, err);
    if (!song) return 2;
    std::string error;
    const auto length = PlanVgmRender(*song, options, error);
    if (!length) {
        std::fprintf(err, "qzr: %s: %s\n", options.song.string().c_str(), error.c_str());
        return 2;
    }
    // A file through the render's own output (put in place only when whole), or a WAV on
    // standard output as it goes.
    const auto frames = static_cast<std::uint64_t>(length->frames);
    std::optional<SoundOutput> file;
    std::optional<WavStreamWriter> piped;
    if (toStdout) {
        piped.emplace(WavToStream(frames, options.sampleRate, out));
    } else {
        file.emplace(output);
        if (!file->Open(options.format, frames, options.sampleRate, error)) {
            std::fprintf(err, "qzr: %s\n", error.c_str());
            return 1;
        }
    }
    SoundLevel level;
    bool fileFailed = false;
    bool ok = RenderVgmFrames(
        *song, options, *length,
        [&](std::span<const std::int16_t> mix) {
            level.Measure(mix);
            if (piped) return piped->Write(mix);
            fileFailed = !file->Write(mix);
            return !fileFailed;
        },
        error);
    if (ok && piped && (!piped->Finish() || std::fflush(out) != 0)) {
        error = "cannot write the sound";
        ok = false;
    }
    if (ok && file) ok = file->Finish(error) && file->Commit(error);
    if (!ok) {
        if (fileFailed) {
            std::fprintf(err, "qzr: %s\n", file->WriteError().c_str());
        } else {
            std::fprintf(err, "qzr: %s: %s\n", outputName.c_str(), error.c_str());
        }
        if (file) file->Discard();
        return 1;
    }
    ReportLevel(err, outputName, level);
    return 0;
}

int RunVgmPlay(const std::filesystem::path& path, int loops, std::optional<double> seconds,
               std::FILE* out, std::FILE* err) {
    const auto song = LoadVgm(path, err);
    if (!song) return 2;
    if (loops < 1 || loops > kMostLoops) {
        std::fprintf(err, "qzr: --loops takes 1 to %d\n", kMostLoops);
        return 2;
    }
    const InterruptCatcher catcher;
    emulator::Engine engine;
    std::string error;
    if (!StartStream(engine, *song, loops, kDefaultSampleRate,
                     emulator::Output::DeviceOrSilentClock, error)) {
        std::fprintf(err, "qzr: %s: %s\n", path.string().c_str(), error.c_str());
        return 2;
    }
    if (engine.Active() == emulator::ActiveOutput::SilentClock) {
        std::fputs("qzr: no audio device; playing on the silent clock (in time, not heard)\n", err);
        std::fflush(err);
    }
    std::fputs(DescribeVgm(*song, path).c_str(), out);
    std::fflush(out);
    const auto start = std::chrono::steady_clock::now();
    const auto tail = std::chrono::duration<double>(kReleaseTailSeconds);
    std::optional<std::chrono::steady_clock::time_point> endedAt;
    int status = 0;
    for (;;) {
        if (InterruptCatcher::Interrupted()) {
            status = 130;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (seconds && std::chrono::duration<double>(now - start).count() >= *seconds) break;
        if (!endedAt && gStream.ended.load()) endedAt = now;
        if (endedAt && now - *endedAt >= tail) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    engine.Stop();
    std::fprintf(out, "stopped after %.1f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return status;
}

std::string DescribeVgm(const vgm::VgmSong& song, const std::filesystem::path& path) {
    std::string text = path.filename().string() + ": VGM " + std::to_string(song.version >> 8) +
                       "." +
                       std::to_string((song.version >> 4 & 0xFU) * 10 + (song.version & 0xFU)) +
                       ", YM2151 at " + std::to_string(song.clockHz) + " Hz\n";
    const double rate = static_cast<double>(vgm::kSampleRateHz);
    text += "length: " + Duration(static_cast<double>(song.totalSamples) / rate) + " (" +
            std::to_string(song.totalSamples) + " samples)\n";
    if (song.loopSample) {
        text += "loop: from " + Duration(static_cast<double>(*song.loopSample) / rate) + ", " +
                Duration(static_cast<double>(song.LoopSamples()) / rate) + " (" +
                std::to_string(song.LoopSamples()) + " samples)\n";
    } else {
        text += "loop: none\n";
    }
    text += "writes: " + std::to_string(song.writes.size()) + "\n";
    if (song.tag) {
        static constexpr std::array<std::pair<vgm::TagField, const char*>, 7> kShown{{
            {vgm::TagField::TrackName, "title"},
            {vgm::TagField::GameName, "game"},
            {vgm::TagField::SystemName, "system"},
            {vgm::TagField::Author, "author"},
            {vgm::TagField::ReleaseDate, "date"},
            {vgm::TagField::Converter, "made by"},
            {vgm::TagField::Notes, "notes"},
        }};
        for (const auto& [field, label] : kShown) {
            if (!(*song.tag)[field].empty()) {
                text += std::string(label) + ": " + (*song.tag)[field] + "\n";
            }
        }
    }
    for (const std::string& warning : song.warnings) text += "warning: " + warning + "\n";
    return text;
}

}  // namespace qzr::tools
