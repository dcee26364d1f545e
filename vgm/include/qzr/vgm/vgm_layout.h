#pragma once

#include <cstddef>
#include <cstdint>

// The VGM file's layout, as the format's published description gives it: the one place that
// names a header offset, a command byte or the format's clock. Integers are little-endian;
// "relative" offsets count from the field's own position.
namespace qzr::vgm {

// Every wait counts samples of this clock, whatever the chips run at.
inline constexpr std::uint64_t kSampleRateHz = 44'100;

// Versions are binary-coded decimal: 0x171 is 1.71.
inline constexpr std::uint32_t kWrittenVersion = 0x171;
inline constexpr std::uint32_t kLowestVersion = 0x100;
inline constexpr std::uint32_t kHighestVersion = 0x171;
// From this version on the YM2151 has its own clock field; before it, the field at
// kYM2413Clock served the YM2151 too.
inline constexpr std::uint32_t kOwnYM2151ClockVersion = 0x110;
// From this version on the data offset field says where the commands start; before it they
// start at kOldDataStart.
inline constexpr std::uint32_t kDataOffsetVersion = 0x150;

// The header this project writes (1.71's full size); readers take shorter ones.
inline constexpr std::size_t kHeaderSize = 0x100;
inline constexpr std::size_t kOldDataStart = 0x40;

// Header fields: byte offsets from the file's start, 32 bits each.
inline constexpr std::size_t kIdent = 0x00;         // "Vgm "
inline constexpr std::size_t kEofOffset = 0x04;     // relative: the file's size - 4
inline constexpr std::size_t kVersion = 0x08;       // BCD
inline constexpr std::size_t kYM2413Clock = 0x10;   // before 1.10 also the YM2151's
inline constexpr std::size_t kGd3Offset = 0x14;     // relative; 0 for none
inline constexpr std::size_t kTotalSamples = 0x18;  // every wait summed
inline constexpr std::size_t kLoopOffset = 0x1C;    // relative; 0 for no loop
inline constexpr std::size_t kLoopSamples = 0x20;   // waits from the loop point to the end
inline constexpr std::size_t kYM2151Clock = 0x30;   // Hz; bit 30: a second chip
inline constexpr std::size_t kDataOffset = 0x34;    // relative
inline constexpr std::uint32_t kDualChipBit = 1U << 30;
inline constexpr std::uint32_t kClockMask = kDualChipBit - 1;  // bit 31 names no YM2151 feature

inline constexpr char kIdentText[] = "Vgm ";

// Command bytes.
inline constexpr std::uint8_t kWriteYM2151 = 0x54;        // register, value
inline constexpr std::uint8_t kWriteSecondYM2151 = 0xA4;  // register, value
inline constexpr std::uint8_t kWait = 0x61;               // 16-bit sample count
inline constexpr std::uint8_t kWait735 = 0x62;            // a 60 Hz frame
inline constexpr std::uint8_t kWait882 = 0x63;            // a 50 Hz frame
inline constexpr std::uint8_t kEndOfData = 0x66;
inline constexpr std::uint8_t kDataBlock = 0x67;       // 0x66, type, 32-bit size, the bytes
inline constexpr std::uint8_t kPcmRamWrite = 0x68;     // 0x66 and ten more bytes
inline constexpr std::uint8_t kShortWaitBase = 0x70;   // 0x7n: n + 1 samples
inline constexpr std::uint8_t kDacWaitBase = 0x80;     // 0x8n: a YM2612 DAC byte, n samples
inline constexpr std::uint16_t kLongestWait = 0xFFFF;  // one kWait command
inline constexpr std::uint32_t kLongestShortWait = 16;
inline constexpr std::uint32_t kDataBlockSizeMask = 0x7FFF'FFFF;  // bit 31: for a second chip

// The GD3 tag: "Gd3 ", version 1.00, the byte length of the strings, then eleven strings of
// UTF-16LE, each ending in a zero code unit.
inline constexpr char kGd3IdentText[] = "Gd3 ";
inline constexpr std::uint32_t kGd3Version = 0x100;
inline constexpr std::size_t kGd3HeaderSize = 12;

// The most bytes a VGM is read to (unpacked, for .vgz): a megabyte holds an hour of a busy song.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

}  // namespace qzr::vgm
