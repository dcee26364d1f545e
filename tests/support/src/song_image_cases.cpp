#include "qzr/test_support/song_image_cases.h"

namespace qzr::test {

std::vector<SongImageCase> SongImageCases() {
    const auto opm = [] { return SongBytes{kOPMTarget}.Speed(1); };
    const auto opn2 = [] { return SongBytes{kOPN2Target}.Speed(1); };
    constexpr SongKind kOPM = SongKind::OPM;
    constexpr SongKind kOPN2 = SongKind::OPN2;
    return {
        {"OPM little-endian", kOPM, opm().At(270, 0x34).At(271, 0x12).Rows(4660), 1, 4660, true},
        {"OPM high count byte missing", kOPM, opm().At(270, 0x03).Truncate(271), 1, 49151, true},
        {"OPM both count bytes missing", kOPM, opm().Truncate(270), 1, 49151, true},
        {"OPM speed missing", kOPM, opm().Truncate(200), 255, 49151, false},
        {"OPM empty file", kOPM, opm().Truncate(0), 255, 49151, false},
        {"OPM longer than fits", kOPM, opm().RowCount(60000).Rows(60000), 1, 49151, true},
        {"OPM no rows", kOPM, opm().RowCount(0), 1, 0, true},
        {"OPN2 big-endian", kOPN2, opn2().At(214, 0x12).At(215, 0x34).Rows(4660), 1, 4660, true},
        {"OPN2 both count bytes missing", kOPN2, opn2().Truncate(214), 1, 0xFEFF, true},
        {"OPN2 low count byte missing", kOPN2, opn2().At(214, 0).Truncate(215), 1, 0xFFFF, true},
        {"OPN2 low byte missing, high 2", kOPN2, opn2().At(214, 2).Truncate(215), 1, 511, true},
        {"OPN2 speed missing", kOPN2, opn2().Truncate(200), 255, 0xFEFF, false},
        {"OPN2 empty file", kOPN2, opn2().Truncate(0), 255, 0xFEFF, false},
        {"OPN2 no rows", kOPN2, opn2().RowCount(0), 1, 0, true},
    };
}

}  // namespace qzr::test
