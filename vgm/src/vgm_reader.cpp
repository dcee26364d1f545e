#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <string_view>

#include "byte_order.h"
#include "qzr/vgm/vgm_file.h"
#include "qzr/vgm/vgm_layout.h"
#include "vgm_messages.h"

namespace qzr::vgm {

std::string Hex(std::uint64_t value) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%llX", static_cast<unsigned long long>(value));
    return text.data();
}

namespace {

constexpr std::uint64_t kMost32 = std::numeric_limits<std::uint32_t>::max();

std::string VersionText(std::uint32_t version) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "%X.%02X", version >> 8, version & 0xFFU);
    return text.data();
}

// The bytes one command takes, the command byte included; 0 for a byte that starts none (the
// data block's length depends on its own size field).
std::size_t CommandLength(std::uint8_t command) {
    if (command >= 0x30 && command <= 0x3F) return 2;
    if (command >= 0x40 && command <= 0x4E) return 3;
    if (command == 0x4F || command == 0x50) return 2;
    if (command >= 0x51 && command <= 0x5F) return 3;
    if (command == kWait) return 3;
    if (command == kWait735 || command == kWait882 || command == kEndOfData) return 1;
    if (command == kPcmRamWrite) return 12;
    if (command >= 0x70 && command <= 0x8F) return 1;
    constexpr std::array<std::size_t, 6> kStreamControl{5, 5, 6, 11, 2, 5};  // 0x90 to 0x95
    if (command >= 0x90 && command <= 0x95) return kStreamControl[command - 0x90U];
    if (command >= 0xA0 && command <= 0xBF) return 3;
    if (command >= 0xC0 && command <= 0xDF) return 4;
    if (command >= 0xE0) return 5;
    return 0;
}

// The chip a command we skip is for, as the format names them.
std::string ChipOf(std::uint8_t command) {
    static constexpr std::array<std::string_view, 16> kFirst{
        "SN76489", "YM2413", "YM2612", "YM2612", "YM2151", "YM2203",  "YM2608", "YM2608",
        "YM2610",  "YM2610", "YM3812", "YM3526", "Y8950",  "YMZ280B", "YMF262", "YMF262"};
    static constexpr std::array<std::string_view, 16> kB{
        "RF5C68",   "RF5C164", "PWM",     "GB DMG", "NES APU",    "MultiPCM", "uPD7759", "OKIM6258",
        "OKIM6295", "HuC6280", "K053260", "Pokey",  "WonderSwan", "SAA1099",  "ES5506",  "GA20"};
    static constexpr std::array<std::string_view, 9> kC{"Sega PCM",   "RF5C68", "RF5C164",
                                                        "MultiPCM",   "QSound", "SCSP",
                                                        "WonderSwan", "VSU",    "X1-010"};
    static constexpr std::array<std::string_view, 7> kD{"YMF278B", "YMF271", "K051649", "K054539",
                                                        "C140",    "ES5503", "ES5506"};
    if (command == 0x4F) return "SN76489";
    if (command >= 0x50 && command <= 0x5F) return std::string(kFirst[command - 0x50U]);
    if (command == 0x30 || command == 0x3F) return "second SN76489";
    if (command >= 0xA1 && command <= 0xAF) {
        return "second " + std::string(kFirst[command - 0xA0U]);
    }
    if (command == 0xA0) return "AY8910";
    if (command >= 0x80 && command <= 0x8F) return "YM2612";
    if (command == 0xE0) return "YM2612";
    if (command >= 0x90 && command <= 0x95) return "DAC stream";
    if (command >= 0xB0 && command <= 0xBF) return std::string(kB[command - 0xB0U]);
    if (command >= 0xC0 && command <= 0xC8) return std::string(kC[command - 0xC0U]);
    if (command >= 0xD0 && command <= 0xD6) return std::string(kD[command - 0xD0U]);
    if (command == 0xE1) return "C352";
    return "command " + Hex(command);
}

class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, std::string& error)
        : bytes_(bytes), error_(error) {}

    std::optional<VgmSong> Read();

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    // A header field, 0 where the header is too short to hold it.
    std::uint32_t Field(std::size_t at) const {
        return at + 4 <= headerEnd_ ? Read32(bytes_, at) : 0;
    }
    bool ReadHeader();
    bool ReadCommands();
    bool Wait(std::uint64_t samples, std::size_t at);
    void Skipped(const std::string& chip) {
        if (std::find(skipped_.begin(), skipped_.end(), chip) == skipped_.end()) {
            skipped_.push_back(chip);
        }
    }

    std::span<const std::uint8_t> bytes_;
    std::string& error_;
    VgmSong song_;
    std::size_t end_ = 0;  // the file as its header counts it
    std::size_t headerEnd_ = 0;
    std::size_t dataStart_ = 0;
    std::size_t commandsEnd_ = 0;
    std::optional<std::size_t> loopAt_;
    std::optional<std::size_t> tagAt_;
    std::vector<std::string> skipped_;
    bool secondChipWrites_ = false;
    bool secondChip_ = false;
};

bool Reader::ReadHeader() {
    if (bytes_.size() < 4 ||
        std::string_view(reinterpret_cast<const char*>(bytes_.data()), 4) != kIdentText) {
        return Fail("no VGM file: it does not start with \"Vgm \"");
    }
    if (bytes_.size() < kOldDataStart) {
        return Fail("cut short at " + Hex(bytes_.size()) + ", inside the header (" +
                    Hex(kOldDataStart) + " bytes)");
    }
    const std::uint64_t end = std::uint64_t{Read32(bytes_, kEofOffset)} + kEofOffset;
    if (end > bytes_.size()) {
        return Fail("cut short at " + Hex(bytes_.size()) + ": the end-of-file offset at " +
                    Hex(kEofOffset) + " says " + Hex(end));
    }
    if (end < kOldDataStart) {
        return Fail("the end-of-file offset at " + Hex(kEofOffset) + " says " + Hex(end) +
                    ", inside the header");
    }
    end_ = static_cast<std::size_t>(end);
    song_.version = Read32(bytes_, kVersion);
    if (song_.version < kLowestVersion || song_.version > kHighestVersion) {
        return Fail("version " + VersionText(song_.version) + " (at " + Hex(kVersion) +
                    "): this reads 1.00 to 1.71");
    }
    dataStart_ = kOldDataStart;
    if (song_.version >= kDataOffsetVersion) {
        const std::uint32_t relative = Read32(bytes_, kDataOffset);
        if (relative != 0) {
            const std::uint64_t start = std::uint64_t{relative} + kDataOffset;
            if (start < kOldDataStart || start >= end_) {
                return Fail("the data offset at " + Hex(kDataOffset) + " points to " + Hex(start) +
                            ", outside the file's commands (" + Hex(kOldDataStart) + " to " +
                            Hex(end_) + ")");
            }
            dataStart_ = static_cast<std::size_t>(start);
        }
    }
    headerEnd_ = std::min(dataStart_, kHeaderSize);

    const std::size_t clockField =
        song_.version < kOwnYM2151ClockVersion ? kYM2413Clock : kYM2151Clock;
    const std::uint32_t clock = Field(clockField);
    song_.clockHz = clock & kClockMask;
    if (song_.clockHz == 0) {
        return Fail("no YM2151 in this file: its clock (at " + Hex(clockField) + ") is 0");
    }
    secondChip_ = (clock & kDualChipBit) != 0;
    if (secondChip_) {
        song_.warnings.push_back(
            "the file has a second YM2151 (bit 30 of its clock); only the first one plays");
    }

    if (const std::uint32_t relative = Field(kLoopOffset); relative != 0) {
        const std::uint64_t at = std::uint64_t{relative} + kLoopOffset;
        if (at < dataStart_ || at >= end_) {
            return Fail("the loop offset at " + Hex(kLoopOffset) + " points to " + Hex(at) +
                        ", outside the file's commands (" + Hex(dataStart_) + " to " + Hex(end_) +
                        ")");
        }
        loopAt_ = static_cast<std::size_t>(at);
    }
    commandsEnd_ = end_;
    if (const std::uint32_t relative = Field(kGd3Offset); relative != 0) {
        const std::uint64_t at = std::uint64_t{relative} + kGd3Offset;
        if (at < dataStart_ || at >= end_) {
            return Fail("the GD3 offset at " + Hex(kGd3Offset) + " points to " + Hex(at) +
                        ", outside the file (" + Hex(dataStart_) + " to " + Hex(end_) + ")");
        }
        tagAt_ = static_cast<std::size_t>(at);
        commandsEnd_ = *tagAt_;
        std::string tagError;
        song_.tag = DecodeTag(bytes_.subspan(*tagAt_, end_ - *tagAt_), tagError);
        if (!song_.tag) return Fail("at " + Hex(*tagAt_) + ": " + tagError);
    }
    return true;
}

bool Reader::Wait(std::uint64_t samples, std::size_t at) {
    song_.totalSamples += samples;
    if (song_.totalSamples > kMost32) {
        return Fail("the waits pass the 32 bits a VGM counts samples in at " + Hex(at));
    }
    return true;
}

bool Reader::ReadCommands() {
    std::size_t at = dataStart_;
    bool loopFound = false;
    for (;;) {
        if (loopAt_ && !loopFound) {
            if (at == *loopAt_) {
                loopFound = true;
                song_.loopSample = song_.totalSamples;
                song_.loopWrite = song_.writes.size();
            } else if (at > *loopAt_) {
                return Fail("the loop offset at " + Hex(kLoopOffset) + " points to " +
                            Hex(*loopAt_) + ", inside a command");
            }
        }
        if (at >= commandsEnd_) {
            return Fail("the commands run to " + Hex(at) + " without the end command (" +
                        Hex(kEndOfData) + ")");
        }
        const std::uint8_t command = bytes_[at];
        if (command == kEndOfData) break;
        std::size_t length = CommandLength(command);
        if (command == kDataBlock) {
            if (commandsEnd_ - at < 7) {
                return Fail("the data block at " + Hex(at) + " is cut short");
            }
            if (bytes_[at + 1] != kEndOfData) {
                return Fail("the data block at " + Hex(at) + " lacks its " + Hex(kEndOfData) +
                            " byte");
            }
            const std::uint64_t size = Read32(bytes_, at + 3) & kDataBlockSizeMask;
            if (size > commandsEnd_ - at - 7) {
                return Fail("the data block at " + Hex(at) + " says " + std::to_string(size) +
                            " bytes, more than the file holds");
            }
            length = 7 + static_cast<std::size_t>(size);
        }
        if (length == 0) return Fail("unknown command " + Hex(command) + " at " + Hex(at));
        if (length > commandsEnd_ - at) {
            return Fail("the command " + Hex(command) + " at " + Hex(at) + " is cut short");
        }
        if (command == kWriteYM2151) {
            song_.writes.push_back({song_.totalSamples, bytes_[at + 1], bytes_[at + 2]});
        } else if (command == kWriteSecondYM2151) {
            secondChipWrites_ = true;
        } else if (command == kWait) {
            if (!Wait(Read16(bytes_, at + 1), at)) return false;
        } else if (command == kWait735) {
            if (!Wait(735, at)) return false;
        } else if (command == kWait882) {
            if (!Wait(882, at)) return false;
        } else if (command >= kShortWaitBase && command < kShortWaitBase + 16) {
            if (!Wait(command - kShortWaitBase + 1U, at)) return false;
        } else if (command >= kDacWaitBase && command < kDacWaitBase + 16) {
            Skipped(ChipOf(command));
            if (!Wait(command - kDacWaitBase, at)) return false;
        } else if (command != kDataBlock && command != kPcmRamWrite) {
            Skipped(ChipOf(command));
        }
        at += length;
    }
    if (loopAt_ && !loopFound) {
        if (at != *loopAt_) {
            return Fail("the loop offset at " + Hex(kLoopOffset) + " points to " + Hex(*loopAt_) +
                        ", past the end command at " + Hex(at));
        }
        song_.loopSample = song_.totalSamples;
        song_.loopWrite = song_.writes.size();
    }
    if (song_.loopSample && *song_.loopSample == song_.totalSamples) {
        song_.warnings.push_back("the loop lasts 0 samples, so the file plays once");
        song_.loopSample.reset();
        song_.loopWrite = 0;
    }
    if (secondChipWrites_ && !secondChip_)
        song_.warnings.push_back("skipped the writes for a second YM2151");
    if (!skipped_.empty()) {
        std::string list;
        for (const std::string& chip : skipped_) list += (list.empty() ? "" : ", ") + chip;
        song_.warnings.push_back("skipped the commands for other chips: " + list);
    }
    return true;
}

std::optional<VgmSong> Reader::Read() {
    if (!ReadHeader() || !ReadCommands()) return std::nullopt;
    return std::move(song_);
}

}  // namespace

std::optional<VgmSong> ReadVgm(std::span<const std::uint8_t> bytes, std::string& error) {
    return Reader(bytes, error).Read();
}

}  // namespace qzr::vgm
