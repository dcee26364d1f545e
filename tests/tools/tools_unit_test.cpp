#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "qzr/format/song_image.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "qzr/tools/channel_list.h"
#include "qzr/tools/file_watch.h"
#include "qzr/tools/info.h"
#include "qzr/tools/render.h"
#include "qzr/tools/song_rotation.h"

namespace qzr::test {
namespace {

// A save that lands between the look that saw a change and the compile's new list of files is a
// change at the next look; a file new to the list is taken as it stands.
TEST(FileWatch, ASaveDuringTheCompileIsAChangeAtTheNextLook) {
    TempDir dir{"watch"};
    const std::filesystem::path source = dir.Path() / "song.qmml";
    const std::filesystem::path voice = dir.Path() / "voice.txt";
    const auto save = [](const std::filesystem::path& file, const char* text) {
        std::ofstream(file, std::ios::binary) << text;
    };
    save(source, "first");
    tools::FileWatch watch;
    watch.Watch({source});
    EXPECT_FALSE(watch.Changed());
    save(source, "second save");
    EXPECT_TRUE(watch.Changed());
    save(source, "the save made while compiling");
    save(voice, "voice");
    watch.Watch({source, voice});
    EXPECT_TRUE(watch.Changed());
    EXPECT_FALSE(watch.Changed());
}

TEST(ChannelList, ParsesNumbersFromOneWithinTheChip) {
    struct Case {
        const char* text;
        int channels;
        std::optional<std::uint8_t> mask;
    };
    const std::vector<Case> cases{
        {"1", 8, 0x01},
        {"1,3,8", 8, 0x85},
        {"8", 6, std::nullopt},
        {"0", 8, std::nullopt},
        {"", 8, std::nullopt},
        {"1,", 8, std::nullopt},
        {"1,,2", 8, std::nullopt},
        {" 1", 8, std::nullopt},
        {"2,2", 8, 0x02},
        {"6", 6, 0x20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tools::ParseChannelList(c.text, c.channels), c.mask);
    }
}

TEST(RowRange, EitherEndMayBeLeftOut) {
    using R = std::optional<int>;
    struct Case {
        const char* text;
        bool ok;
        R first, last;
    };
    const std::vector<Case> cases{{"2:5", true, 2, 5},     {":5", true, {}, 5},
                                  {"2:", true, 2, {}},     {":", true, {}, {}},
                                  {"5", false, {}, {}},    {"a:b", false, {}, {}},
                                  {"-1:3", false, {}, {}}, {"1:2:3", false, {}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto range = tools::ParseRowRange(c.text);
        ASSERT_EQ(range.has_value(), c.ok);
        if (range) {
            EXPECT_EQ(std::make_pair(range->first, range->last), std::make_pair(c.first, c.last));
        }
    }
}

TEST(RotateRows, StartsAtTheGivenRowAndFillsMissingRowsAsThePlayerDoes) {
    const SongTarget& target = kOPN2Target;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(target.RowOffset(3)), 0);
    bytes[static_cast<std::size_t>(target.RowCountLowOffset())] = 4;  // 4 rows, 3 in the file
    for (int row = 0; row < 3; ++row)
        bytes[static_cast<std::size_t>(target.RowOffset(row))] =
            static_cast<std::uint8_t>(10 + row);
    const SongImage song(SongKind::OPN2, bytes);
    const SongImage rotated(SongKind::OPN2, tools::RotateRows(song, 2));
    ASSERT_EQ(rotated.RowCount(), 4);
    std::vector<int> notes;
    for (int row = 0; row < 4; ++row) notes.push_back(rotated.Note(row, 0));
    EXPECT_EQ(notes, (std::vector<int>{12, 255, 10, 11}));
    EXPECT_EQ(rotated.Bytes().subspan(0, 24).size(), 24u);
    EXPECT_TRUE(
        std::equal(bytes.begin(), bytes.begin() + target.rowsStart, rotated.Bytes().begin()));
}

}  // namespace
}  // namespace qzr::test

namespace qzr::test {
namespace {

TEST(RotateRows, HeldNotesAreKeyedAgainWhereTheNewSongTakesOver) {
    const SongTarget& target = kOPMTarget;
    constexpr int kRows = 8;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(target.RowOffset(kRows)), 0);
    bytes[static_cast<std::size_t>(target.RowCountLowOffset())] = kRows;
    auto put = [&](int row, int channel, std::uint8_t note, std::uint8_t key) {
        const auto at =
            static_cast<std::size_t>(target.RowOffset(row)) + 2 * static_cast<std::size_t>(channel);
        bytes[at] = note;
        bytes[at + 1] = key;
    };
    put(1, 0, 49, 1);  // ch1: held from row 1 on
    put(1, 1, 50, 1);  // ch2: keyed off again at row 3
    put(3, 1, 0, 2);
    put(2, 2, 51, 1);  // ch3: held, but row 5 has its own note
    put(5, 2, 52, 1);
    put(0, 3, 53, 1);  // ch4: held, its pitch changed under legato at row 4
    put(4, 3, 54, 0);
    const SongImage song(SongKind::OPM, bytes);
    const SongImage rotated(SongKind::OPM, tools::RotateRowsKeepingHeldNotes(song, 5));
    std::vector<std::pair<int, int>> rowZero;
    for (int c = 0; c < 5; ++c) rowZero.emplace_back(rotated.Note(0, c), rotated.Key(0, c));
    EXPECT_EQ(rowZero,
              (std::vector<std::pair<int, int>>{{49, 1}, {0, 0}, {52, 1}, {54, 1}, {0, 0}}));

    // Rows 4 to 6 looped, played from row 5: rows 5, 6, 4. Row 5 takes over as above; where the
    // loop starts again (row 4) the held notes sound and the channels holding none are silenced.
    const SongImage loop(SongKind::OPM, tools::LoopRows(song, 4, 3, 5));
    ASSERT_EQ(loop.RowCount(), 3);
    EXPECT_EQ(loop.Bytes().size(), static_cast<std::size_t>(target.RowOffset(3)));
    EXPECT_EQ(loop.Title(), song.Title());
    using Row = std::vector<std::pair<int, int>>;
    std::vector<Row> rows(3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c)
            rows[static_cast<std::size_t>(r)].emplace_back(loop.Note(r, c), loop.Key(r, c));
    }
    EXPECT_EQ(rows, (std::vector<Row>{{{49, 1}, {0, 0}, {52, 1}, {54, 1}, {0, 0}},
                                      {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
                                      {{49, 1}, {0, 2}, {51, 1}, {54, 0}, {0, 2}}}));
    // Played from its start, the loop's first row is its start row.
    const SongImage fromStart(SongKind::OPM, tools::LoopRows(song, 4, 3, 4));
    EXPECT_EQ(fromStart.Note(0, 2), 51);
    EXPECT_EQ(fromStart.Note(1, 2), 52);
}

// The plan of a render, before anything is rendered: lengths from the song and the options, and
// refusals (with the planned length and size) for what the output cannot hold, what is longer
// than --max-seconds allows, and numbers out of range.
TEST(PlanRender, LengthsAndRefusalsComeBeforeAnyRendering) {
    // 64 rows at speed 6: 384 ticks of 5 ms, 1.92 s a pass.
    SongBytes bytes{kOPMTarget};
    bytes.Speed(6).RowCount(64).Rows(64);
    const SongImage song{SongKind::OPM, bytes.Get()};
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::string name;
        tools::RenderOptions options;
        std::int64_t frames;  // 0: refused
        std::string error;    // a part of the reason
    };
    const auto with = [](auto change) {
        tools::RenderOptions options;
        change(options);
        return options;
    };
    constexpr std::int64_t kPass = 384 * 44'100 / 200;
    constexpr std::int64_t kTail = 2 * 44'100;
    const std::vector<Case> cases{
        {"one pass and the tail", {}, kPass + kTail, ""},
        {"three loops", with([](auto& o) { o.loops = 3; }), 3 * kPass + kTail, ""},
        {"seconds cut it", with([](auto& o) { o.seconds = 0.5; }), 22'050, ""},
        {"seconds past the end change nothing", with([](auto& o) { o.seconds = 1e18; }),
         kPass + kTail, ""},
        {"passes past the hour, allowed", with([](auto& o) {
             o.loops = 1000;
             o.maxSeconds = 1e300;
         }),
         1000 * kPass + kTail, ""},
        {"past an hour", with([](auto& o) {
             o.loops = 1000;
             o.maxSeconds = 1000;
         }),
         0,
         "the render would last 0:32:02.0 (339.0 MB of 16-bit stereo at 44100 Hz), longer than "
         "the 0:16:40.0 allowed; give --max-seconds"},
        {"nan seconds", with([nan](auto& o) { o.seconds = nan; }), 0,
         "--seconds takes a finite number above 0, not nan"},
        {"infinite seconds", with([inf](auto& o) { o.seconds = inf; }), 0,
         "--seconds takes a finite number above 0, not inf"},
        {"no seconds", with([](auto& o) { o.seconds = 0; }), 0, "--seconds takes a finite"},
        {"nan fade", with([nan](auto& o) { o.fadeSeconds = nan; }), 0,
         "--fade takes a finite number of 0 or more, not nan"},
        {"a fade plays on after the passes, with no tail", with([](auto& o) {
             o.loops = 2;
             o.fadeSeconds = 3;
         }),
         2 * kPass + 3 * 44'100, ""},
        {"a fade within --seconds", with([](auto& o) {
             o.seconds = 1;
             o.fadeSeconds = 5;
         }),
         44'100, ""},
        {"a fade past the hour", with([](auto& o) { o.fadeSeconds = 1e300; }), 0,
         "more than a WAV file can hold"},
        {"nan gain", with([nan](auto& o) { o.gainDb = nan; }), 0,
         "--gain takes a finite number of decibels from -96 to 96"},
        {"gain past 96 dB", with([](auto& o) { o.gainDb = -97; }), 0, "--gain takes"},
        {"nan limit", with([nan](auto& o) { o.maxSeconds = nan; }), 0,
         "--max-seconds takes a finite number above 0"},
        {"no loops", with([](auto& o) { o.loops = 0; }), 0, "--loops takes 1 to 1000"},
        {"low rate", with([](auto& o) { o.sampleRate = 100; }), 0, "--rate takes 8000 to 192000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto length = tools::PlanRender(song, c.options, error);
        EXPECT_EQ(length ? length->frames : 0, c.frames) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        if (length) {
            // A fade is the render's end, as long as asked or the whole of it.
            const auto fade =
                static_cast<std::int64_t>(std::llround(c.options.fadeSeconds * 44'100));
            EXPECT_EQ(length->fadeFrames, std::min(fade, length->frames));
        }
    }
}

// What a format holds, with the planned length in the refusal; a render that never wraps needs
// --seconds.
TEST(PlanRender, TheOutputFormatBoundsTheLength) {
    SongBytes still{kOPMTarget};
    still.Speed(0).RowCount(64).Rows(64);
    const SongImage song{SongKind::OPM, still.Get()};
    std::string error;
    tools::RenderOptions options;
    EXPECT_FALSE(tools::PlanRender(song, options, error));
    EXPECT_NE(error.find("give its length with --seconds"), std::string::npos) << error;

    options.maxSeconds = 1e300;
    options.seconds = 24'400;  // 6:46:40, just past what a WAV at 44.1 kHz holds
    error.clear();
    EXPECT_FALSE(tools::PlanRender(song, options, error));
    EXPECT_EQ(error,
              "the render would last 6:46:40.0 (4.3 GB of 16-bit stereo at 44100 Hz), more than "
              "a WAV file can hold (6:45:47.9); a .flac output holds more");
    options.format = tools::SoundFormat::FLAC;
    error.clear();
    const auto flac = tools::PlanRender(song, options, error);
    ASSERT_TRUE(flac) << error;
    EXPECT_EQ(flac->frames, std::int64_t{24'400} * 44'100);
    options.seconds = 1e7;  // past FLAC's 36-bit frame count at 44.1 kHz
    error.clear();
    EXPECT_FALSE(tools::PlanRender(song, options, error));
    EXPECT_NE(error.find("more than a FLAC file can hold"), std::string::npos) << error;
}

}  // namespace
}  // namespace qzr::test
