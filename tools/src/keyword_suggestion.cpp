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

// The keywords a line holds when it is several written together or side by side ("o4 l8 c",
// "cdefg"), or empty. Each blank-separated part is cut into keywords, longest first.
std::vector<std::string_view> SeveralKeywords(std::string_view line, const KeywordTable& keywords) {
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ' || line[at] == '\t') {
            ++at;
            continue;
        }
        std::size_t take = 0;
        for (std::size_t n = std::min<std::size_t>(line.size() - at, 12); n > 0; --n) {
            if (keywords.Find(line.substr(at, n)) != nullptr) {
                take = n;
                break;
            }
        }
        if (take == 0) return {};
        found.push_back(line.substr(at, take));
        at += take;
    }
    return found.size() >= 2 ? found : std::vector<std::string_view>{};
}

// Words of other MML dialects that the classic tokens do not have.
std::string OtherDialect(std::string_view text) {
    if (text == ">") return "an octave up is written o+";
    if (text == "<") return "an octave down is written o-";
    if (text.size() >= 2 && std::isdigit(static_cast<unsigned char>(text[1])) != 0) {
        if (text[0] == 'q') return "there is no gate time; a note is released in its last row";
        if (text[0] == 'v') return "there is no volume; a channel plays at its voice's level";
        if (text[0] == 't') return "there is no tempo token; the speed is line 2";
    }
    return {};
}

// A note or rest with a number that is no length suffix ("b3", "r5").
std::string NotALength(std::string_view text) {
    std::size_t head = 1;
    if (text.size() > 1 && (text[1] == '+' || text[1] == '-')) head = 2;
    const std::string_view name = text.substr(0, head);
    const std::string_view length = text.substr(head);
    if (!IsNoteOrRest(name) || length.empty() || IsLengthSuffix(length) ||
        length.find_first_not_of("0123456789.") != std::string_view::npos) {
        return {};
    }
    return "'" + std::string(length) + "' is not a length: lengths are 1 2 4 8 16 32 64, dotted " +
           "1. to 32.; for " + std::string(length) + " rows write l%" + std::string(length) +
           " on the line before and '" + std::string(name) + "' alone";
}

std::string SuggestKeyword(std::string_view line, const SongTarget& target) {
    const KeywordTable& keywords = KeywordsFor(target);
    if (const auto several = SeveralKeywords(line, keywords); !several.empty()) {
        std::string list;
        for (const auto& keyword : several)
            list += (list.empty() ? "'" : ", '") + std::string(keyword) + "'";
        return "it holds " + list + ": one token per line here (qzr build takes several on a line)";
    }
    const std::string text = Normalised(line);
    if (text.empty()) return {};
    if (keywords.Find(text) != nullptr) return "did you mean '" + text + "'?";
    if (std::string other = OtherDialect(text); !other.empty()) return other;
    if (std::string respelt = Enharmonic(text); !respelt.empty()) return respelt;
    if (text.size() > 3 && text.substr(text.size() - 3) == "64." &&
        IsNoteOrRest(text.substr(0, text.size() - 3))) {
        const std::string head = text.substr(0, text.size() - 3);
        return "there is no dotted sixty-fourth (a row and a half); write '" + head + "64' or '" +
               head + "32'";
    }
    if (std::string length = NotALength(text); !length.empty()) return length;
    if (NumberAfter(text, "o")) {
        return "octaves are o0 to o7 (o+ and o- step by one)";
    }
    if (NumberAfter(text, "ch")) {
        return "channels are ch1 to ch" + std::to_string(target.channelCount);
    }
    // One slip in a word, not a different word: the first letter stays.
    for (const Keyword& keyword : keywords.Entries()) {
        if (text.size() >= 2 && keyword.Text().front() == text.front() &&
            EditDistance(text, Normalised(keyword.Text())) <= 1) {
            return "did you mean '" + std::string(keyword.Text()) + "'?";
        }
    }
    return {};
}

}  // namespace qzr::tools
