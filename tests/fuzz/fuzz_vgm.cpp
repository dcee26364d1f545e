// The VGM reader (qzr render, play and info of a .vgm or .vgz): any bytes, packed or not.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "qzr/vgm/vgm_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    std::string error;
    std::optional<std::vector<std::uint8_t>> unpacked;
    if (qzr::vgm::LooksGzipped(bytes)) {
        // A small limit keeps each run fast; the bound itself is what is under test.
        unpacked = qzr::vgm::Gunzip(bytes, std::size_t{1} << 20, error);
        if (!unpacked) return 0;
        bytes = *unpacked;
    }
    const auto song = qzr::vgm::ReadVgm(bytes, error);
    if (song && song->loopSample && *song->loopSample >= song->totalSamples) __builtin_trap();
    if (song && song->loopWrite > song->writes.size()) __builtin_trap();
    return 0;
}
