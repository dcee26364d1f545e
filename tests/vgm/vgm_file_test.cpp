#include "qzr/vgm/vgm_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qzr/vgm/vgm_layout.h"

namespace qzr::vgm {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4, 0);
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A file of another program's making, field by field: header of `headerSize` bytes, then the
// commands, then the end-of-file offset fixed up.
struct FileBuilder {
    Bytes bytes;
    explicit FileBuilder(std::uint32_t version, std::size_t headerSize = 0x40)
        : bytes(headerSize, 0) {
        bytes[0] = 'V', bytes[1] = 'g', bytes[2] = 'm', bytes[3] = ' ';
        Put32(bytes, kVersion, version);
        if (version >= kDataOffsetVersion) {
            Put32(bytes, kDataOffset, static_cast<std::uint32_t>(headerSize - kDataOffset));
        }
    }
    FileBuilder& Field(std::size_t at, std::uint32_t value) {
        Put32(bytes, at, value);
        return *this;
    }
    FileBuilder& Commands(const Bytes& commands) {
        bytes.insert(bytes.end(), commands.begin(), commands.end());
        return *this;
    }
    std::size_t Here() const { return bytes.size(); }
    Bytes Done() {
        Put32(bytes, kEofOffset, static_cast<std::uint32_t>(bytes.size() - kEofOffset));
        return bytes;
    }
};

struct ReadCase {
    const char* name;
    Bytes file;
    VgmSong expected;  // version, clock, writes, total, loop, warnings compared
};

VgmSong Expect(std::uint32_t version, std::uint32_t clock, std::vector<TimedWrite> writes,
               std::uint64_t total, std::optional<std::uint64_t> loop = {},
               std::size_t loopWrite = 0, std::vector<std::string> warnings = {}) {
    VgmSong song;
    song.version = version;
    song.clockHz = clock;
    song.writes = std::move(writes);
    song.totalSamples = total;
    song.loopSample = loop;
    song.loopWrite = loopWrite;
    song.warnings = std::move(warnings);
    return song;
}

TEST(VgmReader, ReadsEveryVersionsLayout) {
    std::vector<ReadCase> cases;
    // 1.00: the YM2151 runs at the clock at 0x10, commands at 0x40, short and long waits.
    cases.push_back(
        {"1.00, clock at 0x10",
         FileBuilder(0x100)
             .Field(kYM2413Clock, 3'579'545)
             .Commands(
                 {0x54, 0x20, 0xC7, 0x70, 0x54, 0x08, 0x78, 0x61, 0x00, 0x01, 0x62, 0x63, 0x66})
             .Done(),
         Expect(0x100, 3'579'545, {{0, 0x20, 0xC7}, {1, 0x08, 0x78}}, 1 + 256 + 735 + 882)});
    // 1.10: its own clock field; the old one belongs to the YM2413 alone.
    cases.push_back({"1.10, own clock",
                     FileBuilder(0x110)
                         .Field(kYM2413Clock, 3'579'545)
                         .Field(kYM2151Clock, 4'000'000)
                         .Commands({0x7F, 0x54, 0x28, 0x4A, 0x66})
                         .Done(),
                     Expect(0x110, 4'000'000, {{16, 0x28, 0x4A}}, 16)});
    // 1.50: the data offset; a data block, a PCM RAM write and other chips skipped, named once.
    {
        FileBuilder file(0x150, 0x80);
        file.Field(kYM2151Clock, 3'579'545).Commands({0x67, 0x66, 0x00, 0x03, 0x00, 0x00,
                                                      0x00, 0xAA, 0xBB, 0xCC,  // data block
                                                      0x50, 0x9F, 0x52, 0x2B, 0x80, 0x81,
                                                      0x54, 0x01, 0x02, 0x50, 0x90, 0x68,
                                                      0x66, 0,    0,    0,    0,    0,
                                                      0,    0,    0,    0,    0,  // PCM RAM write
                                                      0xB4, 0x00, 0x10, 0x66});
        cases.push_back(
            {"1.50, data block and other chips", file.Done(),
             Expect(0x150, 3'579'545, {{1, 0x01, 0x02}}, 1, {}, 0,
                    {"skipped the commands for other chips: SN76489, YM2612, NES APU"})});
    }
    // 1.71: a loop, a second YM2151 reported and its writes skipped.
    {
        FileBuilder file(0x171, 0x100);
        file.Field(kYM2151Clock, 3'579'545 | kDualChipBit).Commands({0x54, 0x20, 0xC7, 0x71});
        const std::size_t loop = file.Here();
        file.Commands(
            {0x54, 0x08, 0x78, 0xA4, 0x08, 0x78, 0x61, 0x10, 0x00, 0x54, 0x08, 0x00, 0x66});
        file.Field(kLoopOffset, static_cast<std::uint32_t>(loop - kLoopOffset));
        cases.push_back({"1.71, loop and second chip", file.Done(),
                         Expect(0x171, 3'579'545,
                                {{0, 0x20, 0xC7}, {2, 0x08, 0x78}, {18, 0x08, 0x00}}, 18, 2, 1,
                                {"the file has a second YM2151 (bit 30 of its clock); only the "
                                 "first one plays"})});
    }
    // A loop of zero samples (at the end command, or over writes without a wait) is no loop.
    {
        FileBuilder file(0x171, 0x100);
        file.Field(kYM2151Clock, 4'000'000).Commands({0x54, 0x20, 0xC7, 0x71});
        file.Field(kLoopOffset, static_cast<std::uint32_t>(file.Here() - kLoopOffset));
        file.Commands({0x54, 0x08, 0x78, 0x66});
        cases.push_back({"loop of zero samples", file.Done(),
                         Expect(0x171, 4'000'000, {{0, 0x20, 0xC7}, {2, 0x08, 0x78}}, 2, {}, 0,
                                {"the loop lasts 0 samples, so the file plays once"})});
    }
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto song = ReadVgm(c.file, error);
        ASSERT_TRUE(song) << error;
        song->tag.reset();
        EXPECT_EQ(song->version, c.expected.version);
        EXPECT_EQ(song->clockHz, c.expected.clockHz);
        EXPECT_EQ(song->writes, c.expected.writes);
        EXPECT_EQ(song->totalSamples, c.expected.totalSamples);
        EXPECT_EQ(song->loopSample, c.expected.loopSample);
        EXPECT_EQ(song->loopWrite, c.expected.loopWrite);
        EXPECT_EQ(song->warnings, c.expected.warnings);
    }
}

VgmSong SmallSong() {
    VgmSong song;
    song.clockHz = 3'378'641;
    song.writes = {{0, 0x20, 0xC7}, {0, 0x28, 0x4A}, {221, 0x08, 0x78}, {70'000, 0x08, 0x00}};
    song.totalSamples = 70'300;
    song.loopSample = 221;
    Tag tag;
    tag[TagField::TrackName] = "Hafen \xE2\x99\xAA";  // a note sign: beyond Latin-1
    tag[TagField::SystemName] = "YM2151";
    tag[TagField::Converter] = "qzr";
    song.tag = tag;
    return song;
}

TEST(VgmFile, WritesWhatItReadsBack) {
    std::string error;
    const VgmSong song = SmallSong();
    const auto bytes = WriteVgm(song, error);
    ASSERT_TRUE(bytes) << error;
    for (const bool packed : {false, true}) {
        SCOPED_TRACE(packed ? "gzip" : "plain");
        Bytes file = *bytes;
        if (packed) {
            auto gz = Gzip(file, error);
            ASSERT_TRUE(gz) << error;
            ASSERT_TRUE(LooksGzipped(*gz));
            auto back = Gunzip(*gz, kMaxFileBytes, error);
            ASSERT_TRUE(back) << error;
            file = *back;
        }
        const auto read = ReadVgm(file, error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(read->version, kWrittenVersion);
        EXPECT_EQ(read->clockHz, song.clockHz);
        EXPECT_EQ(read->writes, song.writes);
        EXPECT_EQ(read->totalSamples, song.totalSamples);
        EXPECT_EQ(read->loopSample, song.loopSample);
        EXPECT_EQ(read->loopWrite, 2U);
        EXPECT_EQ(read->tag, song.tag);
        EXPECT_TRUE(read->warnings.empty());
    }
}

TEST(VgmFile, WriterRefusesWhatTheHeaderCannotSay) {
    struct Case {
        const char* name;
        VgmSong song;
        std::string error;
    };
    std::vector<Case> cases;
    VgmSong tooLong = SmallSong();
    tooLong.totalSamples = std::uint64_t{1} << 32;
    cases.push_back({"past 32 bits", tooLong,
                     "the stream lasts 4294967296 samples, more than the header's 32 bits count"});
    VgmSong emptyLoop = SmallSong();
    emptyLoop.loopSample = emptyLoop.totalSamples;
    cases.push_back(
        {"empty loop", emptyLoop, "the loop starts at sample 70300, not before the end at 70300"});
    VgmSong late = SmallSong();
    late.writes.push_back({80'000, 0x08, 0x00});
    cases.push_back({"write past the end", late, "the writes are out of order or past the end"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(WriteVgm(c.song, error));
        EXPECT_EQ(error, c.error);
    }
}

// Malformed files from a generator: every truncation of a small file, then bad fields.
TEST(VgmReader, RefusesMalformedFilesWithTheOffset) {
    std::string error;
    const Bytes good = *WriteVgm(SmallSong(), error);
    for (std::size_t size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        error.clear();
        EXPECT_FALSE(ReadVgm(cut, error));
        EXPECT_FALSE(error.empty());
    }
    // Also with the end-of-file offset made to fit each cut: the commands or the tag run out.
    for (std::size_t size = kHeaderSize; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        Put32(cut, kEofOffset, static_cast<std::uint32_t>(size - kEofOffset));
        error.clear();
        EXPECT_FALSE(ReadVgm(cut, error));
        EXPECT_NE(error.find("0x"), std::string::npos) << error;
    }

    struct Case {
        const char* name;
        std::size_t field;
        std::uint32_t value;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"no ident", kIdent, 0x20202020, "no VGM file: it does not start with \"Vgm \""},
        {"end past the file", kEofOffset, 0x10000, "cut short at 0x"},
        {"version 1.72", kVersion, 0x172, "version 1.72 (at 0x8): this reads 1.00 to 1.71"},
        {"version 0.99", kVersion, 0x099, "version 0.99 (at 0x8): this reads 1.00 to 1.71"},
        {"no YM2151", kYM2151Clock, 0, "no YM2151 in this file: its clock (at 0x30) is 0"},
        {"data offset past the end", kDataOffset, 0x10000,
         "the data offset at 0x34 points to 0x10034"},
        {"data offset into the header", kDataOffset, 4, "the data offset at 0x34 points to 0x38"},
        {"loop past the end", kLoopOffset, 0x10000, "the loop offset at 0x1C points to 0x1001C"},
        {"loop inside a command", kLoopOffset, 0x100 - 0x1C + 1,
         "the loop offset at 0x1C points to 0x101, inside a command"},
        {"GD3 past the end", kGd3Offset, 0x10000, "the GD3 offset at 0x14 points to 0x10014"},
        {"GD3 at the commands", kGd3Offset, 0x100 - 0x14,
         "at 0x100: no GD3 tag where the header says one starts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = good;
        Put32(file, c.field, c.value);
        error.clear();
        EXPECT_FALSE(ReadVgm(file, error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }

    // Commands that do not fit, and waits that pass what the header counts.
    struct CommandCase {
        const char* name;
        Bytes commands;
        std::string error;
    };
    std::vector<CommandCase> commandCases = {
        {"no end command",
         {0x54, 0x20, 0xC7},
         "the commands run to 0x103 without the end command (0x66)"},
        {"cut write", {0x54, 0x20}, "the command 0x54 at 0x100 is cut short"},
        {"unknown command", {0x60, 0x66}, "unknown command 0x60 at 0x100"},
        {"data block too long",
         {0x67, 0x66, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x66},
         "the data block at 0x100 says 65535 bytes"},
        {"data block without its marker",
         {0x67, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x66},
         "the data block at 0x100 lacks its 0x66 byte"},
    };
    Bytes huge;
    for (int i = 0; i < 65'538; ++i) huge.insert(huge.end(), {0x61, 0xFF, 0xFF});
    huge.push_back(0x66);
    commandCases.push_back(
        {"huge waits", huge, "the waits pass the 32 bits a VGM counts samples in at 0x30103"});
    for (const CommandCase& c : commandCases) {
        SCOPED_TRACE(c.name);
        FileBuilder file(0x171, 0x100);
        file.Field(kYM2151Clock, 3'579'545).Commands(c.commands);
        error.clear();
        EXPECT_FALSE(ReadVgm(file.Done(), error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
}

TEST(VgmGzip, RefusesBrokenAndOversizedStreams) {
    std::string error;
    const Bytes plain(100'000, 0x70);
    const Bytes packed = *Gzip(plain, error);
    struct Case {
        const char* name;
        Bytes bytes;
        std::size_t limit;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"cut short", Bytes(packed.begin(), packed.begin() + 20), kMaxFileBytes,
         "the gzip stream is cut short"},
        {"too big", packed, 50'000, "it unpacks to more than 0 MB"},
        {"not gzip", Bytes{0x1F, 0x8B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         kMaxFileBytes, "the gzip stream is broken"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        error.clear();
        EXPECT_FALSE(Gunzip(c.bytes, c.limit, error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
    EXPECT_EQ(*Gunzip(packed, kMaxFileBytes, error), plain);
}

}  // namespace
}  // namespace qzr::vgm
