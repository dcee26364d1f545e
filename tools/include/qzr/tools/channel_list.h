#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qzr::tools {

// "1,3,8": channel numbers counted from 1 as the MML's "ch1" .. "chN", as a mask with bit c for
// chip channel c. nullopt for an empty item, a non-number or a channel the chip does not have.
std::optional<std::uint8_t> ParseChannelList(std::string_view text, int channelCount);

}  // namespace qzr::tools
