#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "qzr/test_support/tone_analysis.h"
#include "qzr/tools/render.h"
#include "qzr/tools/vgm_tools.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

std::vector<std::uint8_t> Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> Utf16(std::u16string_view text) {
    std::vector<std::uint8_t> out;
    for (const char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

// One row at speed 1 with zero voices: 200 voice writes at sample 0 (8 voices, 25 each), row 0
// one tick later at sample 221 (220.5 rounded up), the pass ending at tick 2 (sample 441).
TEST(VgmExport, TinyExportByteByByte) {
    SongBytes bytes(kOPMTarget);
    bytes.Speed(1).RowCount(1).Rows(1).Event(0, 0, 10, 1);
    const SongImage song(SongKind::OPM, bytes.Get());
    std::string error;
    const auto exported = tools::ExportVgm(song, {"Tiny", "Ann", {}}, error);
    ASSERT_TRUE(exported) << error;
    const auto file = vgm::WriteVgm(*exported, error);
    ASSERT_TRUE(file) << error;

    const std::size_t loopAt = 0x100 + 200 * 3 + 3;  // the voices, then "wait 221"
    ASSERT_GT(file->size(), loopAt);
    // Header: ident, end-of-file offset, 1.71, total 441, loop offset, loop 220 samples, clock,
    // data at 0x100.
    std::vector<std::uint8_t> header = {'V', 'g', 'm', ' '};
    for (const std::uint32_t field :
         {static_cast<std::uint32_t>(file->size() - 4), 0x171U, 0U, 0U,
          static_cast<std::uint32_t>(file->size() - 0x14 - 12 - 54), 441U,
          static_cast<std::uint32_t>(loopAt - 0x1C), 220U, 0U, 0U, 0U, 3'378'641U, 0xCCU}) {
        const auto le = Le32(field);
        header.insert(header.end(), le.begin(), le.end());
    }
    header.resize(0x100, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin(), file->begin() + 0x100), header);
    // The wait to row 0, then row 0's first write at the loop offset.
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin() + loopAt - 3, file->begin() + loopAt + 1),
              (std::vector<std::uint8_t>{0x61, 221, 0, 0x54}));
    // The end: "wait 220", the end command, the tag.
    std::vector<std::uint8_t> tail = {0x61, 220, 0, 0x66, 'G', 'd', '3', ' ',
                                      0,    1,   0, 0,    54,  0,   0,   0};
    const auto text = Utf16(std::u16string_view(u"Tiny\0\0\0\0YM2151\0\0Ann\0\0\0qzr\0\0", 27));
    tail.insert(tail.end(), text.begin(), text.end());
    ASSERT_GE(file->size(), tail.size());
    EXPECT_EQ(std::vector<std::uint8_t>(file->end() - static_cast<std::ptrdiff_t>(tail.size()),
                                        file->end()),
              tail);
}

TEST(VgmExport, RefusalsSayWhy) {
    struct Case {
        const char* name;
        SongKind kind;
        int speed, rows;
        std::optional<double> seconds;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"speed 0 without seconds",
         SongKind::OPM,
         0,
         4,
         {},
         "the song never reaches its end; give its length with --seconds"},
        {"too long",
         SongKind::OPN2,
         255,
         65'535,
         {},
         "the export would last 69:37:55 (11054776320 samples"},
        {"seconds too long", SongKind::OPM, 0, 4, 100'000.0,
         "the export would last 27:46:40 (4410000000 samples"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SongBytes bytes(TargetFor(c.kind));
        bytes.Speed(static_cast<std::uint8_t>(c.speed))
            .RowCount(static_cast<std::uint16_t>(c.rows))
            .Rows(c.rows);
        std::string error;
        EXPECT_FALSE(tools::ExportVgm(SongImage(c.kind, bytes.Get()), {"t", "", c.seconds}, error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
}

// Notes with silence between them, on a sine voice: the onsets and pitches of the rendered song
// and of its rendered export.
struct Onset {
    double seconds;
    double hertz;
};

std::vector<Onset> Onsets(const std::vector<std::int16_t>& frames, int rate) {
    const std::vector<double> left = Channel(frames, 0);
    std::vector<Onset> onsets;
    std::size_t quiet = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::abs(left[i]) < 200) {
            ++quiet;
            continue;
        }
        if (quiet >= static_cast<std::size_t>(rate / 50)) {
            // 40 ms to 140 ms after the onset: steady.
            const std::size_t from = i + static_cast<std::size_t>(rate / 25);
            const std::size_t to =
                std::min(left.size(), from + static_cast<std::size_t>(rate / 10));
            const std::vector<double> part(left.begin() + static_cast<std::ptrdiff_t>(from),
                                           left.begin() + static_cast<std::ptrdiff_t>(to));
            onsets.push_back({static_cast<double>(i) / rate, ToneFrequency(part, rate)});
        }
        quiet = 0;
    }
    return onsets;
}

SongImage SineSong(SongKind kind) {
    const SongTarget& target = TargetFor(kind);
    SongBytes bytes(target);
    // Connection 7 with only C2 heard: DT1/MUL 1, TL 127 but C2 0, AR 31, RR 15.
    const std::array<std::uint8_t, 24> ops = {1, 1, 1, 1, 127, 127, 127, 0, 31, 31, 31, 31,
                                              0, 0, 0, 0, 0,   0,   0,   0, 15, 15, 15, 15};
    for (int v = 0; v < target.VoiceCount(); ++v) {
        for (std::size_t j = 0; j < ops.size(); ++j) {
            bytes.At(static_cast<std::size_t>(target.VoiceRecordOffset(v)) + j, ops[j]);
        }
        bytes.At(static_cast<std::size_t>(target.ControlByteOffset(v)), 0xC7);
    }
    const int rows = 48;
    bytes.Speed(kind == SongKind::OPM ? 9 : 3).RowCount(rows).Rows(rows);
    const std::array<std::uint8_t, 4> notes = {50, 58, 62, 69};
    for (int n = 0; n < 4; ++n) {
        bytes.Event(12 * n, 0, notes[static_cast<std::size_t>(n)], 1);
        bytes.Event(12 * n + 7, 0, notes[static_cast<std::size_t>(n)], 2);
    }
    return SongImage(kind, bytes.Get());
}

TEST(VgmExport, ItsRenderSoundsAsTheSongDoes) {
    for (const SongKind kind : {SongKind::OPM, SongKind::OPN2}) {
        SCOPED_TRACE(SongKindName(kind));
        const SongImage song = SineSong(kind);
        tools::RenderOptions options;
        options.kind = kind;
        std::string error;
        const auto length = tools::PlanRender(song, options, error);
        ASSERT_TRUE(length) << error;
        std::vector<std::int16_t> fromSong;
        ASSERT_TRUE(tools::RenderFrames(
            song, options, *length,
            [&](std::span<const std::int16_t> f) {
                fromSong.insert(fromSong.end(), f.begin(), f.end());
                return true;
            },
            {}, error));

        const auto exported = tools::ExportVgm(song, {"s", "", {}}, error);
        ASSERT_TRUE(exported) << error;
        const auto read = vgm::ReadVgm(*vgm::WriteVgm(*exported, error), error);
        ASSERT_TRUE(read) << error;
        std::vector<std::int16_t> fromVgm;
        ASSERT_TRUE(tools::RenderVgmFrames(
            *read, options, *length,
            [&](std::span<const std::int16_t> f) {
                fromVgm.insert(fromVgm.end(), f.begin(), f.end());
                return true;
            },
            error));

        const auto expected = Onsets(fromSong, options.sampleRate);
        const auto actual = Onsets(fromVgm, options.sampleRate);
        ASSERT_EQ(expected.size(), 4U);
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(actual[i].seconds, expected[i].seconds, 0.001);
            EXPECT_NEAR(Cents(actual[i].hertz, expected[i].hertz), 0.0, 1.0);
        }
    }
}

// The program as a user runs it: an export (200 voice writes, then row 0 keys channel 0: key
// code, off, on), its info, and files it refuses.
TEST(VgmCommands, ExportInfoAndRefusals) {
    const TempDir dir("qzr_vgm");
    SongBytes bytes(kOPMTarget);
    bytes.Speed(6).RowCount(8).Rows(8).Event(0, 0, 40, 1);
    bytes.WriteTo(dir / "s.opm.qzr");
    ProgramRun r = RunProgram({QzrPath(), "render", "s.opm.qzr", "-o", "s.vgz", "--author", "Ann"},
                              dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunProgram({QzrPath(), "info", "s.vgz"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "s.vgz: VGM 1.71, YM2151 at 3378641 Hz\n"
              "length: 0:00:00.3 (11907 samples)\n"
              "loop: from 0:00:00.0, 0:00:00.2 (10584 samples)\n"
              "writes: 203\n"
              "title: s\n"
              "system: YM2151\n"
              "author: Ann\n"
              "made by: qzr\n");
    r = RunProgram({QzrPath(), "render", "s.vgz", "-o", "s.wav"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;

    // Malformed: every refusal is a message and status 2.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.vgm", ""},
        {"text.vgm", "hello"},
        {"packed.vgz", std::string("\x1F\x8B\x08\x00", 4)},
    };
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        WriteText(dir / name, content);
        for (const char* command : {"render", "info"}) {
            r = RunProgram({QzrPath(), command, name, "-o", "x.wav"}, dir.Path());
            if (std::string(command) == "info")
                r = RunProgram({QzrPath(), command, name}, dir.Path());
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err.rfind("qzr: " + name + ": ", 0), 0U) << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
}

}  // namespace
}  // namespace qzr::test
