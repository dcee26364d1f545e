#include "qzr/tools/live_playback.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "qzr/common/file_replacement.h"
#include "qzr/format/player_timing.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/player_core/player.h"
#include "qzr/tools/engine_port.h"
#include "qzr/tools/song_rotation.h"

namespace qzr::tools {
namespace {

constexpr std::int32_t kSampleRate = 44'100;
// Short, so an edit is heard soon after it is made.
constexpr std::int32_t kLatencyMs = 40;
constexpr int kFadeSteps = 30;  // over 5 ms each: the stop has no click
constexpr auto kFadeStep = std::chrono::milliseconds(5);

// Where the song is, as the rendering thread sees it after each tick. The player plays `period`
// rows and wraps; its row p is the song's row base + (shift + p) % period. A whole song played
// from row `first` has base 0, shift `first` and its row count as the period; a loop of `count`
// rows from `first`, entered at `from`, has base `first`, shift from - first and period `count`.
// A pass begins each time the song's row `base` comes round.
struct PlayPosition {
    std::atomic<bool> counting{false};
    std::atomic<int> base{0};
    std::atomic<int> shift{0};
    std::atomic<int> period{0};
    std::atomic<std::int64_t> ticksPerRow{0};
    std::atomic<int> row{0};  // the song's next row
    std::atomic<std::int64_t> ticks{0};
    std::atomic<int> passes{0};
};
PlayPosition gPosition;

void ObserveTick() {
    PlayPosition& p = gPosition;
    if (!p.counting.load()) return;
    const int period = p.period.load();
    if (period == 0) return;
    const int base = p.base.load();
    const int row = base + (player::GetSongPosition() + p.shift.load()) % period;
    const std::int64_t ticks = p.ticks.fetch_add(1) + 1;
    const std::int64_t ticksPerRow = p.ticksPerRow.load();
    // A one-row period never leaves its row: each of its rows is a pass.
    const bool wrapped = period == 1 ? ticksPerRow != 0 && ticks % ticksPerRow == 0
                                     : row == base && p.row.load() != base;
    if (wrapped) p.passes.fetch_add(1);
    p.row.store(row);
}

// The player reads songs from files; a song lives in one only for the hand-over: a temporary of
// the one FileReplacement (created exclusively, removed when done or when the process is
// interrupted), never put in place.
class HandOverFile {
public:
    explicit HandOverFile(const std::vector<std::uint8_t>& bytes)
        : file_(std::filesystem::temp_directory_path() /
                ("qzr-play-" + std::to_string(getpid()) + ".qzr")) {
        written_ = file_.Open(error_) && file_.Write(bytes, error_);
    }
    bool Written() const { return written_; }
    const std::string& Error() const { return error_; }
    std::string Path() const { return file_.TemporaryPath().string(); }

private:
    FileReplacement file_;
    std::string error_;
    bool written_ = false;
};

}  // namespace

struct LivePlayback::Impl {
    explicit Impl(emulator::Output output) : port(engine, output) {}
    emulator::Engine engine;
    EnginePort port;
    bool started = false;
    std::uint8_t muted = 0;
    std::optional<RowLoop> loop;  // the rows looped, when a loop plays
};

LivePlayback::LivePlayback(emulator::Output output) : impl_(std::make_unique<Impl>(output)) {}

LivePlayback::~LivePlayback() { Stop(); }

bool LivePlayback::Start(bool meters) {
    if (impl_->started) return true;
    impl_->port.SetChannelMeters(meters);
    if (player::InitOPM(impl_->port, kSampleRate, kLatencyMs) != 0) return false;
    EnginePort::SetAfterTick(&ObserveTick);
    impl_->started = true;
    return true;
}

bool LivePlayback::Started() const { return impl_->started; }

bool LivePlayback::OnSilentClock() const {
    return impl_->engine.Active() == emulator::ActiveOutput::SilentClock;
}

bool LivePlayback::Play(const SongImage& song, int first, std::string& error) {
    if (first < 0 || (first > 0 && first >= song.RowCount())) first = 0;
    if (!Hand(song,
              song.RowCount() == 0
                  ? std::vector<std::uint8_t>(song.Bytes().begin(), song.Bytes().end())
                  : RotateRowsKeepingHeldNotes(song, first),
              {0, first, song.RowCount()}, error)) {
        return false;
    }
    impl_->loop.reset();
    return true;
}

bool LivePlayback::PlayLoop(const SongImage& song, RowLoop loop, int from, std::string& error) {
    loop.count = std::min(loop.count, song.RowCount() - loop.first);
    if (loop.first < 0 || loop.count < 1) {
        error = "the rows to loop are not in the song";
        return false;
    }
    if (from < loop.first || from >= loop.first + loop.count) from = loop.first;
    if (!Hand(song, LoopRows(song, loop.first, loop.count, from),
              {loop.first, from - loop.first, loop.count}, error)) {
        return false;
    }
    impl_->loop = loop;
    return true;
}

bool LivePlayback::Hand(const SongImage& song, const std::vector<std::uint8_t>& played,
                        const Mapping& mapping, std::string& error) {
    if (!impl_->started) {
        error = "the emulator is not running";
        return false;
    }
    const HandOverFile file(played);
    if (!file.Written()) {
        error = "the song cannot be handed over (" + file.Error() + ")";
        return false;
    }
    PlayPosition& p = gPosition;
    p.counting.store(false);
    p.base.store(mapping.base);
    p.shift.store(mapping.shift);
    p.period.store(mapping.period);
    p.ticksPerRow.store(song.TicksPerRow());
    p.ticks.store(0);
    p.passes.store(0);
    p.row.store(mapping.period == 0 ? 0 : mapping.base + mapping.shift % mapping.period);
    const int result = song.Kind() == SongKind::OPM
                           ? player::PlaySong(impl_->port, file.Path().c_str())
                           : player::PlaySong2(impl_->port, file.Path().c_str());
    p.counting.store(true);
    if (result != 0) {
        error = "the player refused the song";
        return false;
    }
    return true;
}

bool LivePlayback::TakeOver(const SongImage& song, int& from, std::string& error) {
    const int before = gPosition.row.load();
    from = song.RowCount() == 0 ? 0 : before % song.RowCount();
    // The passes carry on: the song goes on, only its notes changed.
    const int passes = gPosition.passes.load();
    // A loop goes on over the same rows while the song still has them.
    const bool looped = impl_->loop && impl_->loop->first < song.RowCount()
                            ? PlayLoop(song, *impl_->loop, from, error)
                            : Play(song, from, error);
    if (!looped) return false;
    gPosition.passes.store(passes);
    return true;
}

std::optional<LivePlayback::RowLoop> LivePlayback::Loop() const { return impl_->loop; }

int LivePlayback::Row() const { return gPosition.row.load(); }
int LivePlayback::Passes() const { return gPosition.passes.load(); }
std::int64_t LivePlayback::Ticks() const { return gPosition.ticks.load(); }
std::uint8_t LivePlayback::SoundingChannels() const { return impl_->port.SoundingChannels(); }
void LivePlayback::SetMutedChannels(std::uint8_t mask) {
    const auto newlyMuted = static_cast<std::uint8_t>(mask & ~impl_->muted);
    impl_->muted = mask;
    impl_->port.SetMutedChannels(mask);
    if (!impl_->started) return;
    for (std::uint8_t c = 0; c < ym2151::kChannelCount; ++c) {
        // Key-on register: no slot bits, so every operator of channel c is keyed off.
        if ((newlyMuted & (1u << c)) != 0) impl_->port.WriteRegister(ym2151::kRegKeyOn, c);
    }
}

std::uint8_t LivePlayback::MutedChannels() const { return impl_->muted; }

emulator::Engine::ChannelPeaks LivePlayback::TakeChannelLevels() {
    return impl_->engine.TakeChannelPeaks();
}
std::size_t LivePlayback::CopyChannelSamples(std::span<emulator::ChannelSamples> out) const {
    return impl_->engine.CopyChannelSamples(out);
}
emulator::OutputLoad LivePlayback::Load() const { return impl_->engine.Load(); }
void LivePlayback::SetTickLimit(std::uint64_t ticks) { impl_->port.SetTickLimit(ticks); }

void LivePlayback::Stop() {
    if (!impl_->started) return;
    gPosition.counting.store(false);
    EnginePort& port = impl_->port;
    port.BetwInt(nullptr);
    port.KeyOffAll();
    for (int step = kFadeSteps - 1; step >= 0; --step) {
        port.TotalVolume(kPlayerVolume * step / kFadeSteps);
        std::this_thread::sleep_for(kFadeStep);
    }
    player::StopSong(port);
    player::ReleaseOPM(port);
    EnginePort::SetAfterTick(nullptr);
    impl_->started = false;
}

}  // namespace qzr::tools
