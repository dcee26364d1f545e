#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "qzr/compiler/keyword_table.h"
#include "qzr/tools/check.h"

namespace qzr::tools {
namespace {

std::string Normalised(std::string_view line) {
    std::string text;
    for (const char c : line) {
        if (c == ' ' || c == '\t') continue;
        text.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return text;
}

bool IsLengthSuffix(std::string_view text) {
    if (text.empty()) return true;
    return std::any_of(kLengthSuffixes.begin(), kLengthSuffixes.end(),
                       [text](const LengthSuffix& s) { return s.text == text; });
}

// Sharps and flats that cross a natural half step: the compiler spells them differently.
std::string Enharmonic(std::string_view text) {
    struct Respelling {
        std::string_view written, meant;
    };
    static constexpr std::array<Respelling, 4> kRespellings{
        {{"e+", "f"}, {"f-", "e"}, {"b+", "o+ then c"}, {"c-", "o- then b"}}};
    for (const auto& r : kRespellings) {
        if (text.substr(0, 2) == r.written && IsLengthSuffix(text.substr(2))) {
            return "'" + std::string(r.written) + "' is not spelled; write " +
                   (r.meant.find(' ') == std::string_view::npos
                        ? "'" + std::string(r.meant) + std::string(text.substr(2)) + "'"
                        : std::string(r.meant) + std::string(text.substr(2)));
        }
    }
    return {};
}

bool IsNoteOrRest(std::string_view head) {
    if (head == "r") return true;
    return std::any_of(kNoteNames.begin(), kNoteNames.end(),
                       [head](const NoteName& n) { return n.text == head; });
}

std::optional<int> NumberAfter(std::string_view text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix || text.size() == prefix.size()) {
        return std::nullopt;
    }
    int value = 0;
    const char* first = text.data() + prefix.size();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

// Levenshtein distance, stopping early once it passes 1.
int EditDistance(std::string_view a, std::string_view b) {
    if (a.size() > b.size() + 1 || b.size() > a.size() + 1) return 2;
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string SuggestKeyword(std::string_view line, const SongTarget& target) {
    const KeywordTable& keywords = KeywordsFor(target);
    const std::string text = Normalised(line);
    if (text.empty()) return {};
    if (keywords.Find(text) != nullptr) return "did you mean '" + text + "'?";
    if (std::string respelt = Enharmonic(text); !respelt.empty()) return respelt;
    if (text.size() > 3 && text.substr(text.size() - 3) == "64." &&
        IsNoteOrRest(text.substr(0, text.size() - 3))) {
        const std::string head = text.substr(0, text.size() - 3);
        return "there is no dotted sixty-fourth (a row and a half); write '" + head + "64' or '" +
               head + "32'";
    }
    if (NumberAfter(text, "o")) {
        return "octaves are o0 to o7 (o+ and o- step by one)";
    }
    if (NumberAfter(text, "ch")) {
        return "channels are ch1 to ch" + std::to_string(target.channelCount);
    }
    for (const Keyword& keyword : keywords.Entries()) {
        if (EditDistance(text, keyword.Text()) <= 1) {
            return "did you mean '" + std::string(keyword.Text()) + "'?";
        }
    }
    return {};
}

}  // namespace qzr::tools
