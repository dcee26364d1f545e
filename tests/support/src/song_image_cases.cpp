#include "qzr/test_support/song_image_cases.h"

namespace qzr::test {

std::vector<SongImageCase> SongImageCases() {
    const auto opm = [] { return SongBytes{kOPMTarget}.Speed(1); };
    const auto opn2 = [] { return SongBytes{kOPN2Target}.Speed(1); };
    constexpr SongKind kOPM = SongKind::OPM;
    constexpr SongKind kOPN2 = SongKind::OPN2;
    constexpr SongFault kEmpty = SongFault::Empty;
    constexpr SongFault kHeader = SongFault::HeaderPastEnd;
    constexpr SongFault kRows = SongFault::RowsPastEnd;
    constexpr SongFault kPast = SongFault::BytesPastLayout;
    constexpr SongFault kOther = SongFault::OtherKindLayout;
    // An OPN2 song read as an OPM one and the other way round. The OPM song's last voice begins
    // 2, 0, 2, which the OPN2 layout reads as speed 2 and two rows: a file ending after row 1.
    const auto opn2Song = opn2().RowCount(4).Rows(4).Event(3, 5, 49, 1);
    const auto opmSong =
        opm().RowCount(4).Rows(4).Event(3, 7, 49, 1).At(213, 2).At(214, 0).At(215, 2);
    return {
        {"OPM little-endian",
         kOPM,
         opm().At(270, 0x34).At(271, 0x12).Rows(4660),
         1,
         4660,
         true,
         {}},
        {"OPM high count byte missing",
         kOPM,
         opm().At(270, 0x03).Truncate(271),
         1,
         49151,
         true,
         {kHeader}},
        {"OPM both count bytes missing", kOPM, opm().Truncate(270), 1, 49151, true, {kHeader}},
        {"OPM speed missing", kOPM, opm().Truncate(200), 255, 49151, false, {kHeader}},
        {"OPM empty file", kOPM, opm().Truncate(0), 255, 49151, false, {kEmpty}},
        {"OPM longer than fits", kOPM, opm().RowCount(60000).Rows(60000), 1, 49151, true, {}},
        {"OPM no rows", kOPM, opm().RowCount(0), 1, 0, true, {}},
        {"OPM rows cut short", kOPM, opm().RowCount(100).Rows(10), 1, 100, true, {kRows}},
        {"OPM bytes past row 65535", kOPM, opm().RowCount(2).Rows(65537), 1, 2, true, {kPast}},
        {"OPN2 song read as OPM", kOPM, opn2Song, 255, 49151, false, {kHeader, kOther}},
        {"OPN2 big-endian",
         kOPN2,
         opn2().At(214, 0x12).At(215, 0x34).Rows(4660),
         1,
         4660,
         true,
         {}},
        {"OPN2 both count bytes missing", kOPN2, opn2().Truncate(214), 1, 0xFEFF, true, {kHeader}},
        {"OPN2 low count byte missing",
         kOPN2,
         opn2().At(214, 0).Truncate(215),
         1,
         0xFFFF,
         true,
         {kHeader}},
        {"OPN2 low byte missing, high 2",
         kOPN2,
         opn2().At(214, 2).Truncate(215),
         1,
         511,
         true,
         {kHeader}},
        {"OPN2 speed missing", kOPN2, opn2().Truncate(200), 255, 0xFEFF, false, {kHeader}},
        {"OPN2 empty file", kOPN2, opn2().Truncate(0), 255, 0xFEFF, false, {kEmpty}},
        {"OPN2 no rows", kOPN2, opn2().RowCount(0), 1, 0, true, {}},
        {"OPN2 rows cut short", kOPN2, opn2().RowCount(100).Rows(10), 1, 100, true, {kRows}},
        {"OPM song read as OPN2", kOPN2, opmSong, 2, 2, true, {kOther}},
    };
}

}  // namespace qzr::test
