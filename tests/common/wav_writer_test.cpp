#include "qzr/common/wav_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qzr::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(WavStreamWriter, HeaderStatesThePlannedLengthBeforeTheFirstFrame) {
    Bytes out;
    std::vector<std::size_t> pieces;
    WavStreamWriter wav(3, 44'100, [&](std::span<const std::uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        pieces.push_back(bytes.size());
        return true;
    });
    const std::vector<std::int16_t> first{1, -1, 0x1234, -0x1234};
    const std::vector<std::int16_t> last{32767, -32768};
    EXPECT_TRUE(wav.Write(first));
    EXPECT_TRUE(wav.Write(last));
    EXPECT_TRUE(wav.Finish());
    const Bytes expected{'R',  'I',  'F',  'F',  48,   0,    0,    0,   'W', 'A', 'V',  'E',
                         'f',  'm',  't',  ' ',  16,   0,    0,    0,   1,   0,   2,    0,
                         0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,   4,   0,   16,   0,
                         'd',  'a',  't',  'a',  12,   0,    0,    0,   1,   0,   0xFF, 0xFF,
                         0x34, 0x12, 0xCC, 0xED, 0xFF, 0x7F, 0x00, 0x80};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(pieces, (std::vector<std::size_t>{44, 8, 4}));
}

TEST(WavStreamWriter, ShortLongAndFailingStreamsAreReported) {
    const std::vector<std::int16_t> frame{5, 6};
    struct Case {
        std::string name;
        std::uint64_t planned;
        int frames;
        bool sinkWorks;
        bool writesOk;
        bool finished;
    };
    for (const auto& c : std::vector<Case>{{"empty", 0, 0, true, true, true},
                                           {"short", 2, 1, true, true, false},
                                           {"past the plan", 1, 2, true, false, false},
                                           {"sink fails", 1, 1, false, false, false}}) {
        SCOPED_TRACE(c.name);
        Bytes out;
        WavStreamWriter wav(c.planned, 8'000, [&](std::span<const std::uint8_t> bytes) {
            out.insert(out.end(), bytes.begin(), bytes.end());
            return c.sinkWorks;
        });
        bool ok = true;
        for (int f = 0; f < c.frames; ++f) ok = wav.Write(frame) && ok;
        EXPECT_EQ(ok, c.writesOk);
        EXPECT_EQ(wav.Finish(), c.finished);
        EXPECT_GE(out.size(), kWavHeaderBytes);
    }
    EXPECT_EQ(kMaxWavFrames, 1'073'741'814u);
    EXPECT_EQ(WavHeader(kMaxWavFrames, 44'100)[7], 0xFF);
}

}  // namespace
}  // namespace qzr::test
