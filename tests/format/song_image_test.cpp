// The one reader of song images, against the hand-worked table the player and `qzr info` share.
#include "qzr/format/song_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "qzr/format/player_timing.h"
#include "qzr/format/rows.h"
#include "qzr/format/song_sanity.h"
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

TEST(SongSanity, EachImageOfTheTableGivesItsFindings) {
    for (const auto& c : SongImageCases()) {
        SCOPED_TRACE(c.name);
        const SongImage image{c.kind, c.song.Get()};
        const auto findings = CheckSongImage(image, c.song.Get().size());
        std::vector<SongFault> faults;
        for (const auto& finding : findings) faults.push_back(finding.fault);
        EXPECT_EQ(faults, c.faults);
        const bool disqualified = std::any_of(c.faults.begin(), c.faults.end(), [](SongFault f) {
            return f != SongFault::RowsPastEnd && f != SongFault::BytesPastLayout;
        });
        EXPECT_EQ(PassesSanityRules(findings), !disqualified);
    }
}

// The messages say what the player makes of the file, with its numbers.
TEST(SongSanity, MessagesNameTheSizesAndWhatReadsAs255) {
    struct Case {
        std::string name;
        SongKind kind;
        SongBytes song;
        std::uint64_t fileSize;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases{
        {"empty OPM",
         SongKind::OPM,
         SongBytes{kOPMTarget}.Truncate(0),
         0,
         {"the file is empty, so the speed is 255 and 49151 rows play"}},
        {"OPM cut in voice 3",
         SongKind::OPM,
         SongBytes{kOPMTarget}.Truncate(90),
         90,
         {"the file ends after 90 bytes, inside its 272-byte header: voices 3 to 8, the speed "
          "and the row count are missing, so the speed is 255 and 49151 rows play"}},
        {"OPN2 cut in voice 6",
         SongKind::OPN2,
         SongBytes{kOPN2Target}.Truncate(190),
         190,
         {"the file ends after 190 bytes, inside its 216-byte header: voice 6, the speed and "
          "the row count are missing, so the speed is 255 and 65279 rows play"}},
        {"OPN2 cut before the count's low byte",
         SongKind::OPN2,
         SongBytes{kOPN2Target}.Speed(1).Truncate(215),
         215,
         {"the file ends after 215 bytes, inside its 216-byte header: the row count is "
          "missing, so the speed is 1 and 65535 rows play"}},
        {"OPM rows cut short",
         SongKind::OPM,
         SongBytes{kOPMTarget}.Speed(1).RowCount(9).Rows(3),
         272 + 3 * 16 + 5,
         {"the file holds 3 whole rows of the 9 played; the rest read as bytes of 255 (a "
          "compiler leaves silent rows at the end out)"}},
        {"OPN2 file of 2 GiB",
         SongKind::OPN2,
         SongBytes{kOPN2Target}.Speed(1).RowCount(3).Rows(3),
         std::uint64_t{1} << 31,
         {"the file goes on after row 65535, which no row count reaches; the bytes there are "
          "never read"}},
        {"OPN2 song as OPM",
         SongKind::OPM,
         SongBytes{kOPN2Target}.Speed(3).RowCount(1).Rows(1),
         228,
         {"the file ends after 228 bytes, inside its 272-byte header: voice 8, the speed and "
          "the row count are missing, so the speed is 255 and 49151 rows play",
          "the file has the shape of an OPN2 song and not of an OPM one: is the chip right?"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> messages;
        for (const auto& f : CheckSongImage(SongImage{c.kind, c.song.Get()}, c.fileSize)) {
            messages.push_back(f.message);
        }
        EXPECT_EQ(messages, c.messages);
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

    // An empty image (found by fuzzing: no offset may be added to the start of no bytes).
    const SongImage empty{SongKind::OPM, {}};
    qzr::VoiceRecord allMissing;
    allMissing.operatorBytes.fill(255);
    EXPECT_EQ(empty.Voice(7).operatorBytes, allMissing.operatorBytes);
    EXPECT_EQ(empty.Voice(7).control, 255);

    std::array<std::uint8_t, 4> out{};
    image.CopyBytes(38, out);
    EXPECT_EQ(out,
              (std::array<std::uint8_t, 4>{DistinctVoice(0)[14], DistinctVoice(0)[15], 255, 255}));
}

TEST(SongImage, LargestPlayedImageEndsAfterTheRowsThePlayerHolds) {
    EXPECT_EQ(MaxPlayedImageSize(SongKind::OPM), 272u + 49'151u * 16u);
    EXPECT_EQ(MaxPlayedImageSize(SongKind::OPN2), 216u + 65'535u * 12u);
    EXPECT_EQ(MaxImageSize(SongKind::OPM), 272u + 65'536u * 16u);
    EXPECT_EQ(MaxImageSize(SongKind::OPN2), 216u + 65'536u * 12u);
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
    const std::vector<std::string> events{TrackerEventText(49, 1), TrackerEventText(0, 2),
                                          TrackerEventText(50, 0), TrackerEventText(0, 0x7F),
                                          TrackerEventText(0xFF, 3)};
    EXPECT_EQ(events,
              (std::vector<std::string>{"C-4 on ", "... off", "C#4    ", "... ?7F", "?FF ?03"}));
}

}  // namespace
}  // namespace qzr::test
