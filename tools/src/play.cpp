#include "qzr/tools/play.h"

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
#include "qzr/compiler/compile_song.h"
#include "qzr/compiler/qmml_compile.h"
#include "qzr/compiler/source_lines.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/player_timing.h"
#include "qzr/tools/build.h"
#include "qzr/tools/check.h"
#include "qzr/tools/file_watch.h"
#include "qzr/tools/live_playback.h"
#include "qzr/tools/song_input.h"

namespace qzr::tools {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollPeriod = std::chrono::milliseconds(10);
constexpr auto kTerminalRedraw = std::chrono::milliseconds(100);
constexpr auto kPipeStatusPeriod = std::chrono::seconds(1);
// Lines of compile messages kept under the status line on a terminal.
constexpr std::size_t kShownMessages = 8;

std::string MinutesSeconds(double seconds) {
    std::array<char, 32> text{};
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text.data(), text.size(), "%d:%04.1f", minutes, seconds - 60.0 * minutes);
    return text.data();
}

class Session {
public:
    Session(const PlayOptions& options, std::FILE* out, std::FILE* err)
        : options_(options), out_(out), err_(err) {}

    int Run(const SongImage& song) {
        if (!playback_.Start()) {
            std::fprintf(err_, "qzr: the emulator cannot start\n");
            return 1;
        }
        if (playback_.OnSilentClock()) {
            std::fputs("qzr: no audio device; playing on the silent clock (in time, not heard)\n",
                       err_);
            std::fflush(err_);
        }
        // Without reloads the passes are known in ticks: the player stops exactly at the end of
        // the last one and the notes release.
        if (options_.loops && !options_.watch && song.TicksPerPass() > 0) {
            playback_.SetTickLimit(
                static_cast<std::uint64_t>(song.TicksPerPass() * *options_.loops));
        }
        // The song as read: the player plays these very bytes, never a second read of the file.
        std::string error;
        if (!playback_.Play(song, 0, error)) {
            std::fprintf(err_, "qzr: %s: %s\n", options_.song.string().c_str(), error.c_str());
            playback_.Stop();
            return 1;
        }
        Playing(song);
        start_ = Clock::now();
        if (options_.watch) WatchSource();

        int status = 0;
        auto nextStatus = start_;
        while (true) {
            if (InterruptCatcher::Interrupted()) {
                status = 130;
                break;
            }
            if (options_.loops && playback_.Passes() >= *options_.loops) break;
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
        std::fprintf(out_, "stopped at row %d after %d passes, %s\n", playback_.Row(),
                     playback_.Passes(), MinutesSeconds(Elapsed()).c_str());
        std::fflush(out_);
        return status;
    }

private:
    void Playing(const SongImage& song) {
        rowCount_ = song.RowCount();
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
        // Read again at every save: only a regular file can be. Anything else (a FIFO) is
        // refused without a read, which could wait for a writer for ever.
        std::string error;
        auto file = InputFile::Open(source, error);
        if (file && !file->Regular()) error = "it is not a regular file";
        if (!file || !file->Regular()) {
            compiled.lines.push_back("qzr: cannot read " + name + " (" + error +
                                     "); the old song plays on");
            return compiled;
        }
        if (IsQmmlSource(source)) {
            qmml::Options qmmlOptions;
            qmmlOptions.sourceName = name;
            qmmlOptions.baseFolder = source.parent_path().empty() ? "." : source.parent_path();
            qmmlOptions.kind = options_.kind;
            qmml::Result result = qmml::CompileFile(source, qmmlOptions);
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
        SourceLines lines(*file);
        CompileResult result = CompileLines(lines, TargetFor(options_.kind), base);
        if (lines.Failed()) {
            compiled.lines.push_back("qzr: cannot read " + name + "; the old song plays on");
            return compiled;
        }
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
        std::string checkError;
        const auto found = CheckFile(source, TargetFor(options_.kind), base, checkError);
        for (const Diagnostic& d : found ? *found : std::vector<Diagnostic>{}) {
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
        const int before = playback_.Row();
        int first = 0;
        std::string error;
        if (!playback_.TakeOver(song, first, error)) {
            ShowCompileMessages({"qzr: " + error + "; the old song plays on"});
            return;
        }
        Playing(song);
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
        const int rowCount = rowCount_;
        std::string sounding;
        const std::uint8_t mask = playback_.SoundingChannels();
        for (int c = 0; c < TargetFor(options_.kind).channelCount; ++c) {
            sounding += (mask & (1u << c)) != 0 ? static_cast<char>('1' + c) : '-';
        }
        double total = passSeconds_;
        if (options_.loops) total = passSeconds_ * *options_.loops;
        if (options_.seconds) total = *options_.seconds;
        std::array<char, 160> text{};
        std::snprintf(text.data(), text.size(), "row %d/%d  pass %d  %s/%s  sounding %s",
                      playback_.Row(), rowCount, playback_.Passes() + 1,
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

    void StopCleanly() { playback_.Stop(); }

    const PlayOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    LivePlayback playback_;
    FileWatch watch_;
    int rowCount_ = 0;
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
