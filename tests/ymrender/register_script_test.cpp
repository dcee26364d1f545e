#include "qzr/ymrender/register_script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qzr/ymrender/wav_writer.h"

namespace qzr::ymrender {
namespace {

TEST(RegisterScript, ReadsNumbersCommentsAndBlankLines) {
    const ParsedScript parsed = ParseRegisterScript(
        "# a comment\r\n\n0 0x20 0xC7\r\n  12\t40 255   # trailing\n12 0X08 0x78\n\x1A"
        "this is past the end of the text\n");
    ASSERT_FALSE(parsed.error.has_value()) << parsed.error->message;
    EXPECT_EQ(parsed.writes,
              (std::vector<ScriptWrite>{{0, 0x20, 0xC7}, {12, 40, 255}, {12, 0x08, 0x78}}));
}

TEST(RegisterScript, BadLinesNameTheirLine) {
    struct Case {
        std::string text;
        std::size_t line;
        std::string message;
    };
    const std::vector<Case> cases{
        {"0 1 2\n1 2\n", 2, "expected SAMPLE REGISTER VALUE, found 2 fields"},
        {"0 1 2 3\n", 1, "expected SAMPLE REGISTER VALUE, found 4 fields"},
        {"\n\nx 1 2\n", 3, "sample \"x\" is not a number"},
        {"0 0x100 1\n", 1, "register \"0x100\" is not a number 0 to 255"},
        {"0 1 256\n", 1, "value \"256\" is not a number 0 to 255"},
        {"0 1 -1\n", 1, "value \"-1\" is not a number 0 to 255"},
        {"0 1 0x\n", 1, "value \"0x\" is not a number 0 to 255"},
        {"0 1 1.5\n", 1, "value \"1.5\" is not a number 0 to 255"},
        {"99999999999 1 1\n", 1, "sample \"99999999999\" is too large"},
        {"10 1 2\n9 1 2\n", 2, "sample 9 comes after sample 10; lines must be in order of sample"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedScript parsed = ParseRegisterScript(c.text);
        ASSERT_TRUE(parsed.error.has_value());
        EXPECT_EQ(parsed.error->line, c.line);
        EXPECT_EQ(parsed.error->message, c.message);
    }
}

TEST(RegisterScript, TakenSamplesMoveToTheNextFreeOne) {
    const std::vector<ScriptWrite> writes{{0, 1, 1}, {0, 2, 2},  {0, 3, 3},
                                          {2, 4, 4}, {10, 5, 5}, {10, 6, 6}};
    const auto scheduled = ScheduleWrites(writes);
    EXPECT_EQ(scheduled, (std::vector<ScriptWrite>{
                             {0, 1, 1}, {1, 2, 2}, {2, 3, 3}, {3, 4, 4}, {10, 5, 5}, {11, 6, 6}}));
    EXPECT_EQ(DefaultSampleCount(scheduled), 11u + 55'930u);
    EXPECT_EQ(DefaultSampleCount({}), 55'930u);
}

// A script render is the chip driven write by write.
TEST(RegisterScript, RenderMatchesTheChipDrivenByHand) {
    const std::vector<ScriptWrite> writes{
        {0, 0x20, 0xC7}, {1, 0x28, 0x4A}, {2, 0x60, 0}, {3, 0x80, 0x1F}, {40, 0x08, 0x08}};
    const auto frames = RenderScript(writes, 200);
    emulator::YM2151 chip;
    std::size_t next = 0;
    for (std::size_t n = 0; n < 200; ++n) {
        if (next < writes.size() && writes[next].sample == n) {
            chip.Write(writes[next].reg, writes[next].value);
            ++next;
        }
        ASSERT_EQ(chip.Generate(), frames[n]) << n;
    }
    EXPECT_EQ(frames[44].left, 25);
}

TEST(WavWriter, HeaderAndLittleEndianFrames) {
    const std::vector<emulator::StereoSample> frames{{1, -2}, {0x1234, -32768}};
    const auto bytes = EncodeWav(frames, kNativeWavRate);
    const std::vector<std::uint8_t> expected{
        'R', 'I', 'F', 'F', 44, 0, 0,    0,    'W', 'A', 'V',  'E',  'f',  'm',  't',  ' ', 16, 0,
        0,   0,   1,   0,   2,  0, 0x7A, 0xDA, 0,   0,   0xE8, 0x69, 0x03, 0,    4,    0,   16, 0,
        'd', 'a', 't', 'a', 8,  0, 0,    0,    1,   0,   0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80};
    EXPECT_EQ(bytes, expected);
}

}  // namespace
}  // namespace qzr::ymrender
