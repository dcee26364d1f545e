#include <string_view>

#include "byte_order.h"
#include "qzr/vgm/vgm_file.h"
#include "qzr/vgm/vgm_layout.h"
#include "vgm_messages.h"

namespace qzr::vgm {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text; a byte that starts no well-formed sequence (overlong,
// surrogate, past U+10FFFF, cut short) gives U+FFFD and is skipped alone.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    int more = 0;
    char32_t point = 0;
    char32_t lowest = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1, point = lead & 0x1FU, lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, point = lead & 0x0FU, lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, point = lead & 0x07U, lowest = 0x10000;
    } else {
        return kReplacement;
    }
    std::size_t next = at;
    for (int i = 0; i < more; ++i, ++next) {
        if (next >= text.size()) return kReplacement;
        const auto byte = static_cast<unsigned char>(text[next]);
        if ((byte & 0xC0) != 0x80) return kReplacement;
        point = point << 6 | (byte & 0x3FU);
    }
    if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return kReplacement;
    }
    at = next;
    return point;
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

void AppendUtf16(std::vector<std::uint8_t>& out, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const char32_t point = NextCodePoint(text, at);
        if (point < 0x10000) {
            Append16(out, static_cast<std::uint16_t>(point));
        } else {
            const char32_t rest = point - 0x10000;
            Append16(out, static_cast<std::uint16_t>(0xD800 + (rest >> 10)));
            Append16(out, static_cast<std::uint16_t>(0xDC00 + (rest & 0x3FF)));
        }
    }
    Append16(out, 0);
}

}  // namespace

std::vector<std::uint8_t> EncodeTag(const Tag& tag) {
    std::vector<std::uint8_t> strings;
    for (const std::string& field : tag.fields) AppendUtf16(strings, field);
    std::vector<std::uint8_t> out(kGd3IdentText, kGd3IdentText + 4);
    Append32(out, kGd3Version);
    Append32(out, static_cast<std::uint32_t>(strings.size()));
    out.insert(out.end(), strings.begin(), strings.end());
    return out;
}

std::optional<Tag> DecodeTag(std::span<const std::uint8_t> bytes, std::string& error) {
    if (bytes.size() < kGd3HeaderSize) {
        error = "the GD3 tag is cut short";
        return std::nullopt;
    }
    if (std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) != kGd3IdentText) {
        error = "no GD3 tag where the header says one starts";
        return std::nullopt;
    }
    const std::uint32_t length = Read32(bytes, 8);
    if (length > bytes.size() - kGd3HeaderSize) {
        error = "the GD3 tag says " + std::to_string(length) + " bytes of text but only " +
                std::to_string(bytes.size() - kGd3HeaderSize) + " follow";
        return std::nullopt;
    }
    const auto text = bytes.subspan(kGd3HeaderSize, length);
    Tag tag;
    std::size_t at = 0;
    for (std::string& field : tag.fields) {
        // A tag that ends early leaves the later strings empty.
        while (at + 2 <= text.size()) {
            char32_t unit = Read16(text, at);
            at += 2;
            if (unit == 0) break;
            if (unit >= 0xD800 && unit <= 0xDBFF && at + 2 <= text.size()) {
                const char32_t low = Read16(text, at);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    at += 2;
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
            }
            if (unit >= 0xD800 && unit <= 0xDFFF) unit = kReplacement;
            AppendUtf8(field, unit);
        }
    }
    return tag;
}

}  // namespace qzr::vgm
