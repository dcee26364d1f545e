#include "qzr/tools/play.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "interrupt.h"
#include "qzr/common/file_reading.h"
#include "qzr/common/file_replacement.h"
#include "qzr/compiler/compile_song.h"
#include "qzr/compiler/qmml_compile.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/player_timing.h"
#include "qzr/player_core/player.h"
#include "qzr/tools/build.h"
#include "qzr/tools/check.h"
#include "qzr/tools/engine_port.h"
#include "qzr/tools/file_watch.h"
#include "qzr/tools/song_input.h"
#include "qzr/tools/song_rotation.h"

namespace qzr::tools {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kSampleRate = 44'100;
// Short, so an edit is heard soon after it is saved.
constexpr std::int32_t kLatencyMs = 40;
constexpr auto kPollPeriod = std::chrono::milliseconds(10);
constexpr auto kTerminalRedraw = std::chrono::milliseconds(100);
constexpr auto kPipeStatusPeriod = std::chrono::seconds(1);
constexpr int kFadeSteps = 30;  // over 5 ms each: the stop has no click
constexpr auto kFadeStep = std::chrono::milliseconds(5);
// Lines of compile messages kept under the status line on a terminal.
constexpr std::size_t kShownMessages = 8;

// Where the song is, as the rendering thread sees it after each tick. The player always starts
// a song at row 0; a reloaded song is turned (RotateRows) so its row 0 is the row playing, and
// rowOffset maps the player's position back to the song's own rows.
struct PlayPosition {
    std::atomic<bool> counting{false};
    std::atomic<int> rowOffset{0};
    std::atomic<int> rowCount{0};
    std::atomic<std::int64_t> ticksPerRow{0};
    std::atomic<int> row{0};  // the song's next row
    std::atomic<std::int64_t> ticks{0};
    std::atomic<int> passes{0};
};
PlayPosition gPosition;

void ObserveTick() {
    PlayPosition& p = gPosition;
    if (!p.counting.load()) return;
    const int rowCount = p.rowCount.load();
    if (rowCount == 0) return;
    const int row = (player::GetSongPosition() + p.rowOffset.load()) % rowCount;
    const std::int64_t ticks = p.ticks.fetch_add(1) + 1;
    const std::int64_t ticksPerRow = p.ticksPerRow.load();
    // A one-row song never leaves row 0: each of its rows is a pass.
    const bool wrapped = rowCount == 1 ? ticksPerRow != 0 && ticks % ticksPerRow == 0
                                       : row == 0 && p.row.load() != 0;
    if (wrapped) p.passes.fetch_add(1);
    p.row.store(row);
}

std::string MinutesSeconds(double seconds) {
    std::array<char, 32> text{};
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text.data(), text.size(), "%d:%04.1f", minutes, seconds - 60.0 * minutes);
    return text.data();
}

class Session {
public:
    Session(const PlayOptions& options, std::FILE* out, std::FILE* err)
        : options_(options),
          out_(out),
          err_(err),
          port_(engine_, emulator::Output::DeviceOrSilentClock) {}

    int Run(const SongImage& song) {
        if (player::InitOPM(port_, kSampleRate, kLatencyMs) != 0) {
            std::fprintf(err_, "qzr: the emulator cannot start\n");
            return 1;
        }
        if (engine_.Active() == emulator::ActiveOutput::SilentClock) {
            std::fputs("qzr: no audio device; playing on the silent clock (in time, not heard)\n",
                       err_);
            std::fflush(err_);
        }
        EnginePort::SetAfterTick(&ObserveTick);
        const std::string path = options_.song.string();
        // Without reloads the passes are known in ticks: the player stops exactly at the end of
        // the last one and the notes release.
        if (options_.loops && !options_.watch && song.TicksPerPass() > 0) {
            port_.SetTickLimit(static_cast<std::uint64_t>(song.TicksPerPass() * *options_.loops));
        }
        Load(song, 0, [&] { return Hand(path.c_str()); });
        start_ = Clock::now();
        if (options_.watch) WatchSource();

        int status = 0;
        auto nextStatus = start_;
        while (true) {
            if (InterruptCatcher::Interrupted()) {
                status = 130;
                break;
            }
            if (options_.loops && gPosition.passes.load() >= *options_.loops) break;
            if (options_.seconds && Elapsed() >= *options_.seconds) break;
            if (options_.watch && watch_.Changed()) Reload();
            if (Clock::now() >= nextStatus) {
                ShowStatus();
                nextStatus += options_.terminal
                                  ? std::chrono::duration_cast<Clock::duration>(kTerminalRedraw)
                                  : std::chrono::duration_cast<Clock::duration>(kPipeStatusPeriod);
            }
            std::this_thread::sleep_for(kPollPeriod);
        }
        // The time shown from here on is the time played, not counting the fade-out.
        stoppedAt_ = Clock::now();
        StopCleanly();
        ShowStatus();
        if (options_.terminal) std::fputs("\n", out_);
        std::fprintf(out_, "stopped at row %d after %d passes, %s\n", gPosition.row.load(),
                     gPosition.passes.load(), MinutesSeconds(Elapsed()).c_str());
        std::fflush(out_);
        return status;
    }

private:
    int Hand(const char* path) {
        return song_->Kind() == SongKind::OPM ? player::PlaySong(port_, path)
                                              : player::PlaySong2(port_, path);
    }

    // Hands a song to the player, starting at the song's row `first`.
    template <typename Handover>
    void Load(const SongImage& song, int first, Handover handover) {
        song_.emplace(song);
        gPosition.counting.store(false);
        gPosition.rowOffset.store(first);
        gPosition.rowCount.store(song.RowCount());
        gPosition.ticksPerRow.store(song.TicksPerRow());
        gPosition.ticks.store(0);
        gPosition.row.store(first);
        handover();
        gPosition.counting.store(true);
        passSeconds_ = static_cast<double>(song.TicksPerPass() * kTickPeriodMs) / 1000.0;
    }

    double Elapsed() const {
        const Clock::time_point end = stoppedAt_ ? *stoppedAt_ : Clock::now();
        return std::chrono::duration<double>(end - start_).count();
    }

    // One compile of the watched source, classic or qmml: the song when it compiles, the files
    // whose change changes it, and what to show under the status line.
    struct WatchedCompile {
        std::optional<std::vector<std::uint8_t>> song;
        std::vector<std::filesystem::path> files;
        std::vector<std::string> lines;  // a headline when it failed, then the diagnostics
    };

    WatchedCompile CompileWatched() const {
        WatchedCompile compiled;
        const std::filesystem::path& source = *options_.watch;
        const std::string name = source.string();
        compiled.files.push_back(source);
        const auto bytes = ReadWholeFile(source);
        if (!bytes) {
            compiled.lines.push_back("qzr: cannot read " + name + "; the old song plays on");
            return compiled;
        }
        if (IsQmmlSource(source)) {
            qmml::Options qmmlOptions;
            qmmlOptions.sourceName = name;
            qmmlOptions.baseFolder = source.parent_path().empty() ? "." : source.parent_path();
            qmmlOptions.kind = options_.kind;
            qmml::Result result = qmml::Compile(*bytes, qmmlOptions);
            compiled.files.insert(compiled.files.end(), result.voiceFiles.begin(),
                                  result.voiceFiles.end());
            const bool sameKind = result.kind == qmmlOptions.kind;
            if (!result.Ok() || !sameKind) {
                compiled.lines.push_back(
                    "qzr: " + name +
                    (sameKind
                         ? " does not compile (" + std::to_string(result.errors) + " error" +
                               (result.errors == 1 ? ")" : "s)")
                         : " is not an " + std::string(SongKindName(*qmmlOptions.kind)) + " song") +
                    "; the old song plays on");
            } else {
                compiled.song = std::move(result.song);
            }
            for (const qmml::Diagnostic& d : result.diagnostics) {
                compiled.lines.push_back(qmml::FormatDiagnostic(name, d));
            }
            return compiled;
        }
        const auto base = std::filesystem::current_path();
        CompileResult result = CompileSource(*bytes, TargetFor(options_.kind), base);
        for (const auto& voice : result.header.voicePaths) {
            const std::filesystem::path path(voice);
            compiled.files.push_back(path.is_absolute() ? path : base / path);
        }
        if (result.status == CompileStatus::Ok) {
            compiled.song = std::move(result.song);
        } else {
            compiled.lines.push_back("qzr: " + name +
                                     " does not compile (cannot read voice file '" +
                                     result.failedPath + "'); the old song plays on");
        }
        // A line the compiler skips compiles too: what check finds is shown either way.
        for (const Diagnostic& d : CheckSource(*bytes, TargetFor(options_.kind), base, source)) {
            compiled.lines.push_back(FormatDiagnostic(name, d));
        }
        return compiled;
    }

    // What a compile says stays under the status line until the next one; into a pipe it is
    // written once.
    void ShowCompileMessages(std::vector<std::string> lines) {
        messages_ = std::move(lines);
        if (!options_.terminal) {
            for (const auto& line : messages_) std::fprintf(err_, "%s\n", line.c_str());
            std::fflush(err_);
        }
    }

    void WatchSource() {
        WatchedCompile compiled = CompileWatched();
        watch_.Watch(compiled.files);
        ShowCompileMessages(std::move(compiled.lines));
    }

    void Reload() {
        const auto began = Clock::now();
        WatchedCompile compiled = CompileWatched();
        watch_.Watch(compiled.files);
        if (!compiled.song) {
            ShowCompileMessages(std::move(compiled.lines));
            return;
        }
        const SongImage song(options_.kind, std::move(*compiled.song));
        const int before = gPosition.row.load();
        const int first = song.RowCount() == 0 ? 0 : before % song.RowCount();
        TempSongFile file(RotateRowsKeepingHeldNotes(song, first));
        if (!file.Written()) {
            ShowCompileMessages({"qzr: cannot hand the new song over (" + file.Path() +
                                 " cannot be written); the old song plays on"});
            return;
        }
        Load(song, first, [&] { return Hand(file.Path().c_str()); });
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began);
        ClearStatusArea();
        std::fprintf(out_, "reloaded %s at row %d (was at row %d) in %lld ms\n",
                     options_.watch->string().c_str(), first, before,
                     static_cast<long long>(took.count()));
        std::fflush(out_);
        ShowCompileMessages(std::move(compiled.lines));
    }

    std::string StatusLine() const {
        const int rowCount = gPosition.rowCount.load();
        std::string sounding;
        const std::uint8_t mask = port_.SoundingChannels();
        for (int c = 0; c < TargetFor(options_.kind).channelCount; ++c) {
            sounding += (mask & (1u << c)) != 0 ? static_cast<char>('1' + c) : '-';
        }
        double total = passSeconds_;
        if (options_.loops) total = passSeconds_ * *options_.loops;
        if (options_.seconds) total = *options_.seconds;
        std::array<char, 160> text{};
        std::snprintf(text.data(), text.size(), "row %d/%d  pass %d  %s/%s  sounding %s",
                      gPosition.row.load(), rowCount, gPosition.passes.load() + 1,
                      MinutesSeconds(Elapsed()).c_str(), MinutesSeconds(total).c_str(),
                      sounding.c_str());
        return text.data();
    }

    // On a terminal the status line is redrawn in place with the last compile's messages under
    // it (a failure, or warnings of a song that compiled); elsewhere a line goes out once a
    // second.
    void ShowStatus() {
        if (!options_.terminal) {
            std::fprintf(out_, "%s\n", StatusLine().c_str());
            std::fflush(out_);
            return;
        }
        ClearStatusArea();
        std::fputs(StatusLine().c_str(), out_);
        const std::size_t shown = std::min(messages_.size(), kShownMessages);
        for (std::size_t i = 0; i < shown; ++i) std::fprintf(out_, "\n%s", messages_[i].c_str());
        shownLines_ = static_cast<int>(shown);
        if (shown < messages_.size()) {
            std::fprintf(out_, "\n(%zu more; qzr check %s shows them all)",
                         messages_.size() - shown, options_.watch->string().c_str());
            ++shownLines_;
        }
        if (shownLines_ > 0) std::fprintf(out_, "\033[%dA", shownLines_);
        std::fputs("\r", out_);
        std::fflush(out_);
    }

    void ClearStatusArea() {
        if (options_.terminal) std::fputs("\r\033[J", out_);
        shownLines_ = 0;
    }

    // No more rows, every note released, the level brought down to nothing, and only then the
    // chip stopped: cutting a sounding note would click.
    void StopCleanly() {
        gPosition.counting.store(false);
        port_.BetwInt(nullptr);
        port_.KeyOffAll();
        for (int step = kFadeSteps - 1; step >= 0; --step) {
            port_.TotalVolume(kPlayerVolume * step / kFadeSteps);
            std::this_thread::sleep_for(kFadeStep);
        }
        player::StopSong(port_);
        player::ReleaseOPM(port_);
        EnginePort::SetAfterTick(nullptr);
    }

    // The player reads songs from files; a reloaded song lives in one only for the hand-over:
    // a temporary of the one FileReplacement (created exclusively, removed when done or when the
    // process is interrupted), never put in place.
    class TempSongFile {
    public:
        explicit TempSongFile(const std::vector<std::uint8_t>& bytes)
            : file_(std::filesystem::temp_directory_path() /
                    ("qzr-play-" + std::to_string(getpid()) + ".qzr")) {
            std::string ignored;
            written_ = file_.Open(ignored) && file_.Write(bytes, ignored);
        }
        bool Written() const { return written_; }
        std::string Path() const {
            return (written_ ? file_.TemporaryPath() : file_.Target()).string();
        }

    private:
        FileReplacement file_;
        bool written_ = false;
    };

    const PlayOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    emulator::Engine engine_;
    EnginePort port_;
    std::optional<SongImage> song_;
    FileWatch watch_;
    std::vector<std::string> messages_;
    int shownLines_ = 0;
    double passSeconds_ = 0;
    Clock::time_point start_{};
    std::optional<Clock::time_point> stoppedAt_;
};

}  // namespace

int RunPlay(const PlayOptions& options, std::FILE* out, std::FILE* err) {
    const auto loaded = LoadSong(options.song, options.kind, err);
    if (!loaded) return 2;
    // Played as the player plays it; the user hears why it may sound wrong.
    for (const SongFinding& finding : loaded->findings) {
        if (finding.disqualifies) {
            std::fprintf(err, "qzr: warning: %s: %s\n", options.song.string().c_str(),
                         finding.message.c_str());
        }
    }
    const std::optional<SongImage> song = loaded->image;
    if (options.watch && !std::filesystem::is_regular_file(*options.watch)) {
        std::fprintf(err, "qzr: cannot read %s\n", options.watch->string().c_str());
        return 2;
    }
    const InterruptCatcher catcher;
    Session session(options, out, err);
    return session.Run(*song);
}

bool AudioDeviceAvailable() {
    emulator::Engine engine;
    emulator::StartOptions options;
    options.output = emulator::Output::DeviceOrSilentClock;
    if (engine.Start(options) != emulator::StartResult::Started) return false;
    const bool device = engine.Active() == emulator::ActiveOutput::Device;
    engine.Stop();
    return device;
}

}  // namespace qzr::tools
