#include <array>
#include <cstdio>

#include "qzr/format/rows.h"

namespace qzr {

std::string TrackerNoteName(std::uint8_t code) {
    static constexpr std::array<const char*, 12> kNames{"C-", "C#", "D-", "D#", "E-", "F-",
                                                        "F#", "G-", "G#", "A-", "A#", "B-"};
    if (code == 0) return "---";
    if (!IsNote(code)) {
        std::array<char, 8> text{};
        std::snprintf(text.data(), text.size(), "?%02X", code);
        return text.data();
    }
    const int index = code - 1;
    return std::string(kNames[static_cast<std::size_t>(index % 12)]) +
           static_cast<char>('0' + index / 12);
}

}  // namespace qzr
