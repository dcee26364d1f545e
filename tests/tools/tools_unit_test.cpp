#include <gtest/gtest.h>

#include "qzr/format/song_image.h"
#include "qzr/tools/channel_list.h"
#include "qzr/tools/info.h"
#include "qzr/tools/song_rotation.h"

namespace qzr::test {
namespace {

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
}

}  // namespace
}  // namespace qzr::test
