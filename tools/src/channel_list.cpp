#include "qzr/tools/channel_list.h"

#include <charconv>

namespace qzr::tools {

std::optional<std::uint8_t> ParseChannelList(std::string_view text, int channelCount) {
    std::uint8_t mask = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        int channel = 0;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), channel);
        if (item.empty() || ec != std::errc() || end != item.data() + item.size() || channel < 1 ||
            channel > channelCount) {
            return std::nullopt;
        }
        mask = static_cast<std::uint8_t>(mask | (1u << (channel - 1)));
        if (comma == std::string_view::npos) return mask;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace qzr::tools
