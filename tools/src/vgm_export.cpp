#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "qzr/common/file_replacement.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/format/player_timing.h"
#include "qzr/player_core/player.h"
#include "qzr/tools/song_input.h"
#include "qzr/tools/vgm_tools.h"
#include "qzr/vgm/vgm_layout.h"
#include "render_rules.h"

namespace qzr::tools {
namespace {

constexpr std::uint64_t kMostSamples = std::numeric_limits<std::uint32_t>::max();
constexpr std::int32_t kLatencyMs = 200;
constexpr char kProgram[] = "qzr";

// A chip port that keeps every register write with the sample of the tick that made it. A
// reset drops what came before it: the file starts from a reset chip.
class TickRecorder final : public player::ChipPort {
public:
    int Start(const player::StartArguments&) override { return 0; }
    int Free() override { return 0; }
    int Reset() override {
        writes_.clear();
        return 0;
    }
    int OpmReg(std::uint8_t reg) override {
        selected_ = reg;
        return 0;
    }
    int OpmPoke(std::uint8_t data) override {
        writes_.push_back({sample_, selected_, data});
        return 0;
    }
    int TotalVolume(std::int32_t) override { return 0; }
    int BetwInt(player::TickProcedure tick) override {
        tick_ = tick;
        return 0;
    }

    void RunTick(std::int64_t tick) {
        sample_ = TickSample(tick);
        if (tick_ != nullptr) tick_();
    }
    std::vector<vgm::TimedWrite> TakeWrites() { return std::move(writes_); }

private:
    std::vector<vgm::TimedWrite> writes_;
    std::uint64_t sample_ = 0;
    std::uint8_t selected_ = 0;
    player::TickProcedure tick_ = nullptr;
};

std::string Clock(double seconds) {
    const auto whole = static_cast<long long>(seconds);
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text.data();
}

std::string TooLong(std::uint64_t samples) {
    return "the export would last " +
           Clock(static_cast<double>(samples) / static_cast<double>(vgm::kSampleRateHz)) + " (" +
           std::to_string(samples) + " samples at 44,100 Hz), more than the " +
           std::to_string(kMostSamples) + " samples a VGM header counts";
}

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

bool IsVgmPath(const std::filesystem::path& path) {
    const std::string extension = LowerExtension(path);
    return extension == ".vgm" || extension == ".vgz";
}

std::uint64_t TickSample(std::int64_t tick) {
    // k x period ms x rate / 1000, rounded: (2 x product + 1000) / 2000, in integers.
    const auto product = static_cast<std::uint64_t>(tick) * kTickPeriodMs * vgm::kSampleRateHz;
    return (2 * product + 1000) / 2000;
}

std::optional<vgm::VgmSong> ExportVgm(const SongImage& song, const VgmExportOptions& options,
                                      std::string& error) {
    vgm::VgmSong out;
    out.clockHz = static_cast<std::uint32_t>(emulator::kChipClockHz);
    const std::int64_t passTicks = song.TicksPerPass();
    std::int64_t lastTick = 0;
    if (passTicks > 0) {
        // Row 0 first plays one row's ticks after the loading; the pass ends where it plays again.
        const std::int64_t first = song.TicksPerRow();
        // At most 3 x 255 x 65,536 ticks: TickSample's products stay far inside 64 bits.
        out.loopSample = TickSample(first);
        out.totalSamples = TickSample(first + passTicks);
        if (out.totalSamples > kMostSamples) {
            error = TooLong(out.totalSamples);
            return std::nullopt;
        }
        lastTick = first + passTicks - 1;
    } else {
        if (!options.seconds || !std::isfinite(*options.seconds) || *options.seconds <= 0) {
            error = "the song never reaches its end; give its length with --seconds";
            return std::nullopt;
        }
        const double samples = std::round(*options.seconds * vgm::kSampleRateHz);
        if (samples > static_cast<double>(kMostSamples)) {
            // --seconds is finite but may be huge: the count is given up to 10^18.
            error = TooLong(static_cast<std::uint64_t>(std::min(samples, 1e18)));
            return std::nullopt;
        }
        out.totalSamples = static_cast<std::uint64_t>(samples);
        while (TickSample(lastTick + 1) < out.totalSamples) ++lastTick;
    }

    TickRecorder port;
    player::InitOPM(port, static_cast<std::int32_t>(vgm::kSampleRateHz), kLatencyMs);
    player::PlaySongImage(port, song);
    for (std::int64_t tick = 1; tick <= lastTick; ++tick) port.RunTick(tick);
    out.writes = port.TakeWrites();
    player::StopSong(port);
    player::ReleaseOPM(port);

    vgm::Tag tag;
    tag[vgm::TagField::TrackName] = options.title;
    tag[vgm::TagField::SystemName] =
        song.Kind() == SongKind::OPM ? "YM2151" : "YM2151 (an OPN2 song as qzr plays it)";
    tag[vgm::TagField::Author] = options.author;
    tag[vgm::TagField::Converter] = kProgram;
    out.tag = std::move(tag);
    return out;
}

int RunVgmExport(const RenderOptions& options, const std::filesystem::path& output,
                 std::FILE* err) {
    if (!options.stemsFolder.empty()) {
        std::fprintf(err, "qzr: --stems writes sound files; a VGM holds the whole chip\n");
        return 2;
    }
    const auto loaded = LoadSong(options.song, options.kind, err);
    if (!loaded) return 2;
    const std::string songName = options.song.string();
    if (!MayRenderWithoutSeconds(*loaded, options,
                                 "; give the length with --seconds to export it anyway", err)) {
        return 2;
    }
    // The render's plan checks the numbers and the rule for songs that never wrap; the VGM's own
    // limit is its 32-bit counts, checked by the export.
    RenderOptions plan = options;
    plan.format = SoundFormat::FLAC;
    plan.sampleRate = static_cast<int>(vgm::kSampleRateHz);
    plan.maxSeconds = DBL_MAX;
    plan.loops = 1;
    std::string error;
    if (!PlanRender(loaded->image, plan, error)) {
        std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), error.c_str());
        return 2;
    }
    VgmExportOptions exportOptions;
    exportOptions.title = loaded->image.Title();
    if (exportOptions.title.empty()) exportOptions.title = options.song.stem().stem().string();
    exportOptions.author = options.author;
    // A song that wraps loops in the file; --seconds only bounds one that never does.
    if (loaded->image.TicksPerPass() == 0) exportOptions.seconds = options.seconds;
    const auto song = ExportVgm(loaded->image, exportOptions, error);
    if (!song) {
        std::fprintf(err, "qzr: %s: %s\n", songName.c_str(), error.c_str());
        return 2;
    }
    auto bytes = vgm::WriteVgm(*song, error);
    if (bytes && LowerExtension(output) == ".vgz") bytes = vgm::Gzip(*bytes, error);
    if (!bytes) {
        std::fprintf(err, "qzr: %s: %s\n", output.string().c_str(), error.c_str());
        return 2;
    }
    FileReplacement replacement(output);
    if (!replacement.Open(error) || !replacement.Write(*bytes, error) ||
        !replacement.Commit(error)) {
        std::fprintf(err, "qzr: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace qzr::tools
