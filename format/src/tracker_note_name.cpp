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

std::string TrackerEventText(std::uint8_t note, std::uint8_t key) {
    std::string text = note == 0 ? "..." : TrackerNoteName(note);
    switch (key) {
        case static_cast<std::uint8_t>(KeyByte::None):
            return text + "    ";
        case static_cast<std::uint8_t>(KeyByte::On):
            return text + " on ";
        case static_cast<std::uint8_t>(KeyByte::Off):
            return text + " off";
        default:
            break;
    }
    std::array<char, 8> code{};
    std::snprintf(code.data(), code.size(), " ?%02X", key);
    return text + code.data();
}

}  // namespace qzr
