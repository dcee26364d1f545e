// The one reader of song images, against the hand-worked table the player and `qzr info` share.
#include "qzr/format/song_image.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "qzr/format/player_timing.h"
#include "qzr/format/rows.h"
#include "qzr/test_support/song_image_cases.h"

namespace qzr::test {
namespace {

TEST(SongImage, HeaderAndRowCountFollowThePlayersReadingRules) {
    for (const auto& c : SongImageCases()) {
        SCOPED_TRACE(c.name);
        const SongImage image{c.kind, c.song.Get()};
        EXPECT_EQ(image.Speed(), c.speed);
        EXPECT_EQ(image.RowCount(), c.rowCount);
        EXPECT_EQ(image.TicksPerPass(), TicksPerRow(c.kind, c.speed) * c.rowCount);
    }
}

TEST(SongImage, BytesPastTheEndReadAs255InVoicesAndRows) {
    SongBytes song{kOPN2Target};
    song.Voice(0, DistinctVoice(0)).Truncate(40);  // ends inside voice 0
    const SongImage image{SongKind::OPN2, song.Get()};
    const qzr::VoiceRecord voice = image.Voice(0);
    const qzr::VoiceRecord expectedBytes = [] {
        qzr::VoiceRecord r;
        const auto distinct = DistinctVoice(0);
        for (std::size_t j = 0; j < r.operatorBytes.size(); ++j)
            r.operatorBytes[j] = j < 16 ? distinct[j] : 255;
        r.control = 255;
        return r;
    }();
    EXPECT_EQ(voice.operatorBytes, expectedBytes.operatorBytes);
    EXPECT_EQ(voice.control, expectedBytes.control);
    EXPECT_EQ(image.Note(3, 5), 255);
    EXPECT_EQ(image.Key(3, 5), 255);

    std::array<std::uint8_t, 4> out{};
    image.CopyBytes(38, out);
    EXPECT_EQ(out,
              (std::array<std::uint8_t, 4>{DistinctVoice(0)[14], DistinctVoice(0)[15], 255, 255}));
}

TEST(SongImage, LargestPlayedImageEndsAfterTheRowsThePlayerHolds) {
    EXPECT_EQ(MaxPlayedImageSize(SongKind::OPM), 272u + 49'151u * 16u);
    EXPECT_EQ(MaxPlayedImageSize(SongKind::OPN2), 216u + 65'535u * 12u);
}

TEST(SongKind, FromFileNameAndNoteNames) {
    EXPECT_EQ(SongKindFromFileName("dir.opn2.x/song.opm.mml.qzr"), SongKind::OPM);
    EXPECT_EQ(SongKindFromFileName("song.opn2.mml.qzr"), SongKind::OPN2);
    EXPECT_EQ(SongKindFromFileName("song.opm.opn2.qzr"), std::nullopt);
    EXPECT_EQ(SongKindFromFileName("songopm.qzr"), std::nullopt);
    const std::vector<std::string> names{TrackerNoteName(0),  TrackerNoteName(1),
                                         TrackerNoteName(2),  TrackerNoteName(49),
                                         TrackerNoteName(96), TrackerNoteName(97)};
    EXPECT_EQ(names, (std::vector<std::string>{"---", "C-0", "C#0", "C-4", "B-7", "?61"}));
}

}  // namespace
}  // namespace qzr::test
