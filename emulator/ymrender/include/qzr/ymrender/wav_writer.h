#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "qzr/emulator_core/ym2151.h"

namespace qzr::ymrender {

// The header rate of our renders: the native rate of the usual clock, rounded.
inline constexpr std::uint32_t kNativeWavRate = 55'930;

// A 16-bit PCM stereo WAV (left first) as bytes.
std::vector<std::uint8_t> EncodeWav(std::span<const emulator::StereoSample> frames,
                                    std::uint32_t rate);

// Replaces `path` with the bytes through the one FileReplacement, so a failed or interrupted
// write never destroys an existing file. Returns an empty string, or what went wrong.
std::string WriteFileReplacing(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes);

}  // namespace qzr::ymrender
