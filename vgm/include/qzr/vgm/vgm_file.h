#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A YM2151 VGM in memory: the writes at their samples (44,100 Hz), the length, the loop and the
// tag; the writer that lays it out and the reader that takes any file apart, bounded.
namespace qzr::vgm {

// The GD3 tag's strings in the file's order, held as UTF-8.
enum class TagField {
    TrackName,
    TrackNameJapanese,
    GameName,
    GameNameJapanese,
    SystemName,
    SystemNameJapanese,
    Author,
    AuthorJapanese,
    ReleaseDate,
    Converter,
    Notes,
};
inline constexpr std::size_t kTagFieldCount = 11;

struct Tag {
    std::array<std::string, kTagFieldCount> fields;
    std::string& operator[](TagField field) { return fields[static_cast<std::size_t>(field)]; }
    const std::string& operator[](TagField field) const {
        return fields[static_cast<std::size_t>(field)];
    }
    friend bool operator==(const Tag&, const Tag&) = default;
};

// One YM2151 register write at a sample of the 44,100 Hz clock.
struct TimedWrite {
    std::uint64_t sample = 0;
    std::uint8_t reg = 0;
    std::uint8_t value = 0;
    friend bool operator==(const TimedWrite&, const TimedWrite&) = default;
};

struct VgmSong {
    std::uint32_t version = 0;       // BCD, as read; the writer always writes kWrittenVersion
    std::uint32_t clockHz = 0;       // the YM2151's input clock
    std::vector<TimedWrite> writes;  // in stream order, samples never decreasing
    std::uint64_t totalSamples = 0;  // where the stream ends (every wait summed)
    // Where the loop starts; it runs to totalSamples and is never empty. The writer places the
    // loop offset at the first command at or after this sample.
    std::optional<std::uint64_t> loopSample;
    std::size_t loopWrite = 0;  // reader: the first write inside the loop
    std::optional<Tag> tag;
    // Reader: what was skipped (other chips' commands named once, a second YM2151, an empty
    // loop), one line each.
    std::vector<std::string> warnings;

    std::uint64_t LoopSamples() const { return loopSample ? totalSamples - *loopSample : 0; }
};

// The file's bytes: header (1.71), commands (waits, writes, the loop offset at the loop's first
// command), the end command and the tag. nullopt, with the reason in `error`, when a count would
// not fit the header's 32 bits, the writes are out of order or past the end, or the loop is
// empty or out of range.
std::optional<std::vector<std::uint8_t>> WriteVgm(const VgmSong& song, std::string& error);

// Reads any version from 1.00 to 1.71, never reading outside `bytes` or looping without end.
// nullopt with the reason (the byte offset for a malformed or truncated file) in `error` for a
// file that is no VGM, a version out of range, a file without a YM2151 and any offset, length or
// command that does not fit. Data blocks are skipped; a loop of zero samples counts as no loop.
std::optional<VgmSong> ReadVgm(std::span<const std::uint8_t> bytes, std::string& error);

// Whether the bytes start as a gzip stream does (a .vgz, or a .vgm packed anyway).
bool LooksGzipped(std::span<const std::uint8_t> bytes);
// Unpacks a gzip stream to at most `limit` bytes; nullopt with the reason for a broken stream or
// one that unpacks to more.
std::optional<std::vector<std::uint8_t>> Gunzip(std::span<const std::uint8_t> bytes,
                                                std::size_t limit, std::string& error);
// Packs bytes as one gzip member.
std::optional<std::vector<std::uint8_t>> Gzip(std::span<const std::uint8_t> bytes,
                                              std::string& error);

// The tag's bytes (from "Gd3 " on) and back; UTF-8 that is not well formed becomes U+FFFD.
std::vector<std::uint8_t> EncodeTag(const Tag& tag);
// `bytes` from the tag's ident on; nullopt with the reason (an offset within the tag) when it
// does not fit in them.
std::optional<Tag> DecodeTag(std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace qzr::vgm
