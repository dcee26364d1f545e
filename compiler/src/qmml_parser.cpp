#include "qmml_parser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/compiler/source_lines.h"

namespace qzr::qmml {

namespace {

constexpr std::array<int, 7> kLetterSemitones{0, 2, 4, 5, 7, 9, 11};
constexpr std::string_view kLetters = "cdefgab";
constexpr int kWholeRows = RowsOfSuffix("1");  // a whole note; one row is a sixty-fourth
constexpr int kMaxAccidental = 2;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsNameStart(char c) { return IsLower(c) || IsUpper(c) || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

int LetterIndex(char c) {
    const auto at = kLetters.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The text of a line without its comment: a ';' outside double quotes ends it.
std::string_view WithoutComment(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ';' && !quoted) return line.substr(0, i);
    }
    return line;
}

// Shared by every reader of one source: macro names become indexes as they are first seen.
class MacroNames {
public:
    explicit MacroNames(Program& program) : program_(program) {}
    int Intern(std::string_view name, Position at) {
        const auto [it, added] =
            index_.try_emplace(std::string(name), static_cast<int>(program_.macros.size()));
        if (added) {
            Macro macro;
            macro.name = std::string(name);
            macro.firstUse = at;
            program_.macros.push_back(std::move(macro));
        }
        return it->second;
    }

private:
    Program& program_;
    std::unordered_map<std::string, int> index_;
};

// Reads one line's music (or a macro's) into nodes.
class BodyReader {
public:
    BodyReader(std::string_view text, int line, int firstColumn, Program& program, Report& report,
               MacroNames& names)
        : text_(text),
          line_(line),
          firstColumn_(firstColumn),
          program_(program),
          report_(report),
          names_(names) {}

    NodeRange Read() {
        const auto begin = static_cast<std::uint32_t>(program_.nodes.size());
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (IsBlank(c)) {
                ++pos_;
                continue;
            }
            const std::size_t before = pos_;
            Item();
            if (pos_ == before) ++pos_;  // every item moves on, even a bad one
        }
        for (const Open& open : opens_) {
            Error(program_.nodes[open.node].at, "'[' is not closed on its line");
            program_.nodes[open.node].a = -1;
        }
        return {begin, static_cast<std::uint32_t>(program_.nodes.size())};
    }

private:
    struct Open {
        std::size_t node;
        std::int32_t pass = -1;
    };

    char Peek(std::size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    Position At(std::size_t offset) const {
        return {line_, firstColumn_ + static_cast<int>(offset)};
    }
    void Error(Position at, std::string message) { report_.Error(at, std::move(message)); }
    void ErrorHere(std::size_t offset, std::string message) {
        Error(At(offset), std::move(message));
    }

    Node& Add(NodeKind kind, std::size_t offset) {
        Node node;
        node.kind = kind;
        node.at = At(offset);
        program_.nodes.push_back(node);
        return program_.nodes.back();
    }

    // Digits at pos_ as a number (held at 10^10 so no run of digits can overflow), or nullopt
    // when no digit stands there.
    std::optional<std::int64_t> Digits() {
        if (!IsDigit(Peek())) return std::nullopt;
        std::int64_t value = 0;
        while (IsDigit(Peek())) {
            value = std::min<std::int64_t>(value * 10 + (Peek() - '0'), 10'000'000'000);
            ++pos_;
        }
        return value;
    }

    bool StartsLength(std::size_t ahead = 0) const {
        return IsDigit(Peek(ahead)) || Peek(ahead) == '%';
    }

    // One term of a length: a note value with dots, or %N rows (dots allowed). -1 after an
    // error.
    std::int64_t LengthTerm() {
        const std::size_t start = pos_;
        std::int64_t rows = 0;
        if (Peek() == '%') {
            ++pos_;
            const auto n = Digits();
            if (!n) {
                ErrorHere(start, "'%' needs a number of rows: %12 is 12 rows");
                return -1;
            }
            if (*n == 0) {
                ErrorHere(start, "%0 is no length: a note or rest lasts at least one row");
                return -1;
            }
            if (*n > kMaxLengthRows) {
                ErrorHere(start, "%" + std::to_string(*n) + " is longer than the " +
                                     Grouped(kMaxLengthRows) + " rows a channel can hold");
                return -1;
            }
            rows = *n;
        } else {
            const std::int64_t value = *Digits();
            if (value <= 0 || value > kWholeRows || kWholeRows % value != 0 ||
                (value & (value - 1)) != 0) {
                ErrorHere(start, std::to_string(value) +
                                     " is not a note value: lengths are 1 2 4 8 16 32 64 "
                                     "(with dots), or %N rows, a whole note being 64 rows (a "
                                     "triplet eighth is %5 or %6)");
                while (Peek() == '.') ++pos_;
                return -1;
            }
            rows = kWholeRows / value;
        }
        std::int64_t half = rows;
        while (Peek() == '.') {
            if (half % 2 != 0) {
                ErrorHere(pos_, "this dot would add half a row; a row is the shortest step");
                while (Peek() == '.') ++pos_;
                return -1;
            }
            half /= 2;
            rows += half;
            ++pos_;
        }
        return rows;
    }

    // A length if one starts here: terms joined by '+'. 0 when none starts, -1 after an error.
    std::int32_t Length() {
        if (!StartsLength()) return 0;
        const std::size_t start = pos_;
        std::int64_t total = 0;
        bool bad = false;
        while (true) {
            const std::int64_t term = LengthTerm();
            if (term < 0) bad = true;
            total += std::max<std::int64_t>(term, 0);
            if (Peek() == '+' && StartsLength(1)) {
                ++pos_;
                continue;
            }
            break;
        }
        if (bad) return -1;
        if (total > kMaxLengthRows) {
            ErrorHere(start, "a length of " + Grouped(total) + " rows is longer than the " +
                                 Grouped(kMaxLengthRows) + " rows a channel can hold");
            return -1;
        }
        return static_cast<std::int32_t>(total);
    }

    bool Word(std::string_view word) const {
        return text_.substr(pos_, word.size()) == word && !IsNameChar(Peek(word.size()));
    }

    std::string_view NextWord() {
        while (IsBlank(Peek())) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

    void Note(int letter) {
        const std::size_t start = pos_++;
        int accidental = 0;
        bool written = false;
        bool natural = false;
        while (Peek() == '+' || Peek() == '-' || Peek() == '=') {
            const char sign = text_[pos_++];
            if (sign == '=') {
                if (written) ErrorHere(pos_ - 1, "'=' (natural) stands alone after the note");
                natural = true;
            } else {
                if (natural) ErrorHere(pos_ - 1, "a natural takes no '+' or '-'");
                accidental += sign == '+' ? 1 : -1;
            }
            written = true;
        }
        if (accidental > kMaxAccidental || accidental < -kMaxAccidental) {
            ErrorHere(start, "at most two sharps or flats on a note");
            accidental = 0;
        }
        Node& node = Add(NodeKind::Note, start);
        node.a = letter;
        node.b = accidental;
        node.flag = written;
        const std::int32_t rows = Length();
        program_.nodes.back().rows = std::max(rows, 0);
    }

    void Timed(NodeKind kind) {
        const std::size_t start = pos_++;
        const std::int32_t rows = Length();
        Add(kind, start).rows = std::max(rows, 0);
    }

    void DefaultLength() {
        const std::size_t start = pos_++;
        const std::int32_t rows = Length();
        if (rows == 0) {
            ErrorHere(start, "'l' needs a length: l8, l4., l%12");
        } else if (rows > 0) {
            Add(NodeKind::DefaultLength, start).rows = rows;
        }
    }

    void Legato() {
        const std::size_t start = pos_;
        pos_ += 6;
        const std::string_view word = NextWord();
        if (word == "on") {
            Add(NodeKind::LegatoOn, start);
        } else if (word == "off") {
            Add(NodeKind::LegatoOff, start);
        } else {
            ErrorHere(start, "legato takes on or off");
        }
    }

    void Octave() {
        const std::size_t start = pos_++;
        if (Peek() == '+' || Peek() == '-') {
            Add(text_[pos_++] == '+' ? NodeKind::OctaveUp : NodeKind::OctaveDown, start);
            return;
        }
        const auto octave = Digits();
        if (!octave) {
            ErrorHere(start, "'o' needs an octave, o0 to o7");
        } else if (*octave > 7) {
            ErrorHere(start, "o" + std::to_string(*octave) +
                                 ": octaves are o0 to o7 (> and < step beyond them)");
        } else {
            Add(NodeKind::Octave, start).a = static_cast<std::int32_t>(*octave);
        }
    }

    void Transpose() {
        const std::size_t start = pos_++;
        int sign = 1;
        if (Peek() == '+' || Peek() == '-') sign = text_[pos_++] == '+' ? 1 : -1;
        const auto amount = Digits();
        if (!amount) {
            ErrorHere(start, "'k' needs semitones: k+2, k-3, k0");
        } else if (*amount > kMaxTranspose) {
            ErrorHere(start, "transposition is k-" + std::to_string(kMaxTranspose) + " to k+" +
                                 std::to_string(kMaxTranspose));
        } else {
            Add(NodeKind::Transpose, start).a = sign * static_cast<std::int32_t>(*amount);
        }
    }

    void KeySignature() {
        const std::size_t start = pos_;
        pos_ += 2;
        qmml::KeySignature key = 0;
        int sign = 0;
        bool bad = false;
        bool signed_ = false;
        while (pos_ < text_.size() && Peek() != '}') {
            const char c = text_[pos_];
            if (c == '+' || c == '-' || c == '=') {
                sign = c == '+' ? 1 : c == '-' ? -1 : 0;
                signed_ = true;
            } else if (const int letter = LetterIndex(c); letter >= 0 && signed_) {
                key = WithKey(key, letter, sign);
            } else if (!IsBlank(c)) {
                ErrorHere(pos_, signed_ ? Quoted(std::string_view(&text_[pos_], 1)) +
                                              " in a key signature: write letters a to g after "
                                              "+, - or =, as in _{+fc} or _{-bea}"
                                        : "a key signature starts with +, - or =: _{+fc}");
                bad = true;
                while (pos_ < text_.size() && Peek() != '}') ++pos_;
                break;
            }
            ++pos_;
        }
        if (Peek() != '}') {
            ErrorHere(start, "'_{' is not closed with '}' on its line");
            return;
        }
        ++pos_;
        if (!bad) Add(NodeKind::KeySignature, start).key = key;
    }

    void VoiceUse() {
        const std::size_t start = pos_++;
        if (Peek() == 'v') {
            ++pos_;
            Digits();
            ErrorHere(start,
                      "volume (@v) is not representable in a song file: a channel plays at its "
                      "voice's level; set the carriers' TL in the voice instead");
            return;
        }
        const auto number = Digits();
        if (!number) {
            ErrorHere(start, "'@' needs a voice number: @1");
        } else if (*number > kMaxVoiceNumber) {
            ErrorHere(start, "voices are @0 to @" + std::to_string(kMaxVoiceNumber));
        } else {
            Add(NodeKind::Voice, start).a = static_cast<std::int32_t>(*number);
        }
    }

    void PanItem() {
        const std::size_t start = pos_;
        pos_ += 3;
        const std::string_view word = NextWord();
        static constexpr std::array<std::pair<std::string_view, Pan>, 4> kPans{
            {{"LR", Pan::LR}, {"L", Pan::L}, {"R", Pan::R}, {"off", Pan::Off}}};
        for (const auto& [name, pan] : kPans) {
            if (word == name) {
                Add(NodeKind::Pan, start).a = static_cast<std::int32_t>(pan);
                return;
            }
        }
        ErrorHere(start, "pan takes LR, L, R or off");
    }

    void RepeatOpen() {
        const std::size_t start = pos_++;
        if (static_cast<int>(opens_.size()) >= kMaxRepeatNesting) {
            ErrorHere(start, "repeats nest at most " + std::to_string(kMaxRepeatNesting) +
                                 " deep on one line");
            // The bracket still counts, so its ']' finds it; it repeats nothing.
        }
        opens_.push_back({program_.nodes.size()});
        Add(NodeKind::RepeatOpen, start).b = -1;
    }

    void RepeatBreak() {
        const std::size_t start = pos_++;
        if (opens_.empty()) {
            ErrorHere(start, "'/' leaves a repeat's last pass, but no '[' is open");
            return;
        }
        if (opens_.back().pass >= 0) {
            ErrorHere(start, "a second '/' in one repeat");
            return;
        }
        opens_.back().pass = static_cast<std::int32_t>(program_.nodes.size());
        Add(NodeKind::RepeatBreak, start);
    }

    void RepeatClose() {
        const std::size_t start = pos_++;
        std::int64_t count = 2;
        bool bad = false;
        if (const auto n = Digits()) {
            count = *n;
            if (count < 1 || count > kMaxRepeatCount) {
                ErrorHere(start, "repeat count " + std::to_string(count) +
                                     ": a repeat plays 1 to " + Grouped(kMaxRepeatCount) +
                                     " times");
                bad = true;
            }
        }
        if (opens_.empty()) {
            ErrorHere(start, "']' closes no '['");
            return;
        }
        const Open open = opens_.back();
        opens_.pop_back();
        const auto close = static_cast<std::int32_t>(program_.nodes.size());
        Node& node = Add(NodeKind::RepeatClose, start);
        node.a = static_cast<std::int32_t>(count);
        node.b = static_cast<std::int32_t>(open.node);
        Node& opening = program_.nodes[open.node];
        const bool tooDeep = static_cast<int>(opens_.size()) >= kMaxRepeatNesting;
        opening.a = bad || tooDeep ? -1 : close;
        opening.b = open.pass;
    }

    void MacroUse() {
        const std::size_t start = pos_++;
        const std::size_t nameStart = pos_;
        if (!IsNameStart(Peek())) {
            ErrorHere(start, "'!' needs a macro name: !kick");
            return;
        }
        while (IsNameChar(Peek())) ++pos_;
        const std::string_view name = text_.substr(nameStart, pos_ - nameStart);
        Add(NodeKind::Macro, start).a = names_.Intern(name, At(start));
    }

    void NotRepresentable(std::string_view what, std::string_view instead) {
        const std::size_t start = pos_++;
        while (IsDigit(Peek()) || Peek() == ',' || Peek() == '.' || Peek() == '-') ++pos_;
        ErrorHere(start, std::string(what) + " (" + std::string(text_.substr(start, pos_ - start)) +
                             ") is not representable in a song file; " + std::string(instead));
    }

    void Item() {
        const char c = Peek();
        if (const int letter = LetterIndex(c); letter >= 0) {
            if (c == 'c' && Peek(1) == 'h' && IsDigit(Peek(2))) {
                ErrorHere(pos_,
                          "channels are chosen at the start of a line; begin a new line "
                          "for " +
                              std::string(text_.substr(pos_, 3)));
                pos_ += 3;
                return;
            }
            Note(letter);
            return;
        }
        switch (c) {
            case 'r':
                Timed(NodeKind::Rest);
                return;
            case '^':
                Timed(NodeKind::Tie);
                return;
            case '&':
                Add(NodeKind::Slur, pos_++);
                return;
            case 'l':
                if (Word("legato")) {
                    Legato();
                } else {
                    DefaultLength();
                }
                return;
            case 'o':
                Octave();
                return;
            case '>':
                Add(NodeKind::OctaveUp, pos_++);
                return;
            case '<':
                Add(NodeKind::OctaveDown, pos_++);
                return;
            case 'k':
                Transpose();
                return;
            case '_':
                if (Peek(1) == '{') {
                    KeySignature();
                    return;
                }
                break;
            case '@':
                VoiceUse();
                return;
            case 'p':
                if (Word("pan")) {
                    PanItem();
                    return;
                }
                break;
            case '[':
                RepeatOpen();
                return;
            case '/':
                RepeatBreak();
                return;
            case ']':
                RepeatClose();
                return;
            case '!':
                MacroUse();
                return;
            case '|':
                Add(NodeKind::Bar, pos_++);
                return;
            case 'v':
            case '(':
            case ')':
                NotRepresentable("volume",
                                 "a channel plays at its voice's level; set the carriers' TL in "
                                 "the voice instead");
                return;
            case 't':
                NotRepresentable("a tempo change", "a song has one speed, set by #tempo");
                return;
            case 'q':
                NotRepresentable("gate time",
                                 "a note is released in its last row; shorten it and add a rest");
                return;
            case 'm':
                NotRepresentable("vibrato", "the player sets no LFO");
                return;
            default:
                break;
        }
        if (IsUpper(c)) {
            ErrorHere(pos_, Quoted(std::string_view(&text_[pos_], 1)) +
                                " is unknown: notes and commands are lower case");
        } else if (c == '+' || c == '-' || c == '.') {
            ErrorHere(pos_, Quoted(std::string_view(&text_[pos_], 1)) +
                                " belongs right after a note (c+) or a length (c4., c4+16)");
        } else if (IsDigit(c)) {
            ErrorHere(pos_, "a length belongs right after its note, rest, ^ or l");
            while (IsDigit(Peek()) || Peek() == '.') ++pos_;
            return;
        } else {
            ErrorHere(pos_, Quoted(std::string_view(&text_[pos_], 1)) + " means nothing here");
        }
        // What would be its length or number goes with it; the letters after it are read.
        ++pos_;
        while (IsDigit(Peek()) || Peek() == '.' || Peek() == '%') ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_;
    int firstColumn_;
    Program& program_;
    Report& report_;
    MacroNames& names_;
    std::vector<Open> opens_;
};

class Parser {
public:
    Parser(Program& program, Report& report)
        : program_(program), report_(report), names_(program) {}

    void Line(std::string_view raw, int number) {
        if (raw.size() > kMaxLineBytes) {
            report_.Error({number, static_cast<int>(kMaxLineBytes) + 1},
                          "the line is " + Grouped(static_cast<std::int64_t>(raw.size())) +
                              " bytes; a line holds at most " +
                              Grouped(static_cast<std::int64_t>(kMaxLineBytes)));
            return;
        }
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const auto byte = static_cast<unsigned char>(raw[i]);
            if (byte < 0x20 && byte != '\t') {
                std::array<char, 8> hex{};
                std::snprintf(hex.data(), hex.size(), "0x%02X", byte);
                report_.Error({number, static_cast<int>(i) + 1},
                              std::string("control character ") + hex.data() +
                                  " in the source; the line is skipped");
                return;
            }
        }
        const std::string_view text = WithoutComment(raw);
        if (voice_) {
            VoiceLine(text, number, 0);
            return;
        }
        std::size_t first = 0;
        while (first < text.size() && IsBlank(text[first])) ++first;
        if (first == text.size()) return;
        const std::string_view rest = text.substr(first);
        const int column = static_cast<int>(first) + 1;
        if (rest[0] == '#') {
            Directive(rest, number, column);
        } else if (rest[0] == '@') {
            VoiceDefinitionLine(rest, number, column);
        } else if (rest[0] == '!') {
            MacroDefinition(rest, number, column);
        } else if (rest.substr(0, 2) == "ch" && rest.size() > 2 && IsDigit(rest[2])) {
            Channels(rest, number, column);
        } else {
            report_.Error({number, column},
                          "a line starts with ch1 (its channels), #, @N, !name or ';'; music "
                          "needs its channel first: ch1 " +
                              std::string(rest.substr(0, std::min<std::size_t>(rest.size(), 12))));
        }
    }

    void Finish() {
        if (voice_) {
            report_.Error(voice_->open, "the voice @" + std::to_string(voice_->number) +
                                            " { is not closed with }");
            voice_.reset();
        }
        ResolveMacros();
    }

private:
    struct OpenVoice {
        int number;
        Position open;
        Position definition;
        std::vector<VoiceWord> words;
        int lines = 0;
    };

    template <typename T>
    bool Once(Given<T>& given, std::string_view name, Position at) {
        if (given.value) {
            report_.Error(at, "a second " + std::string(name) + " (the first is at line " +
                                  std::to_string(given.at.line) + ")");
            return false;
        }
        given.at = at;
        return true;
    }

    static std::optional<std::int64_t> WholeNumber(std::string_view text) {
        if (text.empty() || text.size() > 10) return std::nullopt;
        std::int64_t value = 0;
        for (const char c : text) {
            if (!IsDigit(c)) return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    }

    // "120", "93.75": thousandths of the number, up to three decimals.
    static std::optional<std::int64_t> Thousandths(std::string_view text) {
        const auto dot = text.find('.');
        const std::string_view whole = text.substr(0, dot);
        const std::string_view fraction =
            dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
        if (whole.empty() || fraction.size() > 3 ||
            (dot != std::string_view::npos && fraction.empty())) {
            return std::nullopt;
        }
        const auto w = WholeNumber(whole);
        if (!w || *w > 1'000'000) return std::nullopt;
        std::int64_t f = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            const char c = i < fraction.size() ? fraction[i] : '0';
            if (!IsDigit(c)) return std::nullopt;
            f = f * 10 + (c - '0');
        }
        return *w * 1000 + f;
    }

    static std::string_view Trimmed(std::string_view text) {
        while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
        while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
        return text;
    }

    void Directive(std::string_view text, int line, int column) {
        std::size_t end = 1;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        const std::string_view name = text.substr(1, end - 1);
        const std::string_view argument = Trimmed(text.substr(end));
        const Position at{line, column};
        if (name == "title") {
            std::string_view title = argument;
            if (title.size() >= 2 && title.front() == '"' && title.back() == '"') {
                title = title.substr(1, title.size() - 2);
            }
            if (title.size() > static_cast<std::size_t>(kTitleSize)) {
                report_.Error(at, "the title is " + std::to_string(title.size()) +
                                      " bytes; a song file holds " + std::to_string(kTitleSize));
            } else if (Once(program_.title, "#title", at)) {
                program_.title.value = std::string(title);
            }
        } else if (name == "chip") {
            if (argument != "opm" && argument != "opn2") {
                report_.Error(at, "#chip takes opm or opn2");
            } else if (Once(program_.chip, "#chip", at)) {
                program_.chip.value = std::string(argument);
            }
        } else if (name == "tempo" || name == "speed") {
            if (program_.tempoMilli.value || program_.speed.value) {
                const int first = program_.tempoMilli.value ? program_.tempoMilli.at.line
                                                            : program_.speed.at.line;
                report_.Error(at,
                              "a tempo change is not representable in a song file: a song "
                              "has one speed (set at line " +
                                  std::to_string(first) + ")");
                return;
            }
            if (name == "tempo") {
                const auto milli = Thousandths(argument);
                if (!milli || *milli == 0) {
                    report_.Error(at, "#tempo takes beats a minute: #tempo 120, #tempo 93.75");
                    return;
                }
                program_.tempoMilli = {milli, at};
            } else {
                const auto speed = WholeNumber(argument);
                if (!speed || *speed < 1 || *speed > 255) {
                    report_.Error(at, "#speed takes 1 to 255 (ticks of 5 ms a row)");
                    return;
                }
                program_.speed = {static_cast<int>(*speed), at};
            }
        } else if (name == "rows" || name == "bar") {
            const auto rows = WholeNumber(argument);
            if (!rows || *rows < 1 || *rows > kMaxLengthRows) {
                report_.Error(
                    at, "#" + std::string(name) + " takes rows, 1 to " + Grouped(kMaxLengthRows));
                return;
            }
            auto& given = name == "rows" ? program_.rows : program_.bar;
            if (Once(given, "#" + std::string(name), at)) given.value = *rows;
        } else {
            report_.Error(at, "unknown #" + std::string(name) +
                                  "; headers are #title, #chip, #tempo, #speed, #rows and #bar");
        }
    }

    void VoiceDefinitionLine(std::string_view text, int line, int column) {
        std::size_t pos = 1;
        std::size_t digits = 0;
        std::int64_t number = 0;
        while (pos < text.size() && IsDigit(text[pos]) && digits < 10) {
            number = number * 10 + (text[pos++] - '0');
            ++digits;
        }
        const Position at{line, column};
        if (digits == 0 || number > kMaxVoiceNumber) {
            report_.Error(at,
                          "a voice is defined as @N \"file.voice\" or @N { ... }, N from 0 to " +
                              std::to_string(kMaxVoiceNumber));
            return;
        }
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        const auto defined =
            std::find_if(program_.voices.begin(), program_.voices.end(),
                         [number](const VoiceDefinition& v) { return v.number == number; });
        if (defined != program_.voices.end()) {
            report_.Error(at, "voice @" + std::to_string(number) +
                                  " is defined twice (first at line " +
                                  std::to_string(defined->at.line) + ")");
            // Read on, so the lines of a second inline voice are not taken for music.
        }
        const bool duplicate = defined != program_.voices.end();
        if (pos < text.size() && text[pos] == '"') {
            const auto close = text.find('"', pos + 1);
            if (close == std::string_view::npos || close == pos + 1 ||
                !Trimmed(text.substr(close + 1)).empty()) {
                report_.Error({line, column + static_cast<int>(pos)},
                              "a voice file is named in double quotes: @1 \"voices/brass.voice\"");
                return;
            }
            if (duplicate) return;
            VoiceDefinition voice;
            voice.number = static_cast<int>(number);
            voice.at = at;
            voice.file = std::string(text.substr(pos + 1, close - pos - 1));
            program_.voices.push_back(std::move(voice));
        } else if (pos < text.size() && text[pos] == '{') {
            voice_ = OpenVoice{.number = duplicate ? -1 : static_cast<int>(number),
                               .open = {line, column + static_cast<int>(pos)},
                               .definition = at,
                               .words = {}};
            VoiceLine(text.substr(pos + 1), line, column + static_cast<int>(pos) + 1 - 1);
        } else {
            report_.Error(at, "a voice is defined as @N \"file.voice\" or @N { ... }");
        }
    }

    // A line inside { ... }: `offset` is the column of text[0] less one.
    void VoiceLine(std::string_view text, int line, int offset) {
        OpenVoice& voice = *voice_;
        if (++voice.lines > kMaxVoiceLines) {
            report_.Error(voice.open, "the voice { is not closed within " +
                                          std::to_string(kMaxVoiceLines) + " lines");
            voice_.reset();
            return;
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            const char c = text[pos];
            if (IsBlank(c) || c == ',') {
                ++pos;
                continue;
            }
            if (c == '}') {
                const std::string_view after = Trimmed(text.substr(pos + 1));
                if (!after.empty()) {
                    report_.Error({line, offset + static_cast<int>(pos) + 2},
                                  "nothing may follow the } of a voice on its line");
                }
                CloseVoice();
                return;
            }
            const std::size_t start = pos;
            while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != ',' &&
                   text[pos] != '}') {
                ++pos;
                if (text[pos - 1] == ':') break;
            }
            voice.words.push_back(
                {text.substr(start, pos - start), line, offset + static_cast<int>(start) + 1});
        }
    }

    void CloseVoice() {
        OpenVoice voice = std::move(*voice_);
        voice_.reset();
        std::vector<Diagnostic> errors;
        const auto parameters =
            ParseVoiceWords(voice.words, voice.open.line, voice.open.column, errors);
        for (Diagnostic& d : errors) report_.Error({d.line, d.column}, std::move(d.message));
        if (voice.number < 0) return;
        VoiceDefinition definition;
        definition.number = voice.number;
        definition.at = voice.definition;
        if (parameters) {
            definition.bytes = EncodeVoice(*parameters);
            definition.usable = true;
        }
        program_.voices.push_back(std::move(definition));
    }

    void MacroDefinition(std::string_view text, int line, int column) {
        std::size_t pos = 1;
        while (pos < text.size() && IsNameChar(text[pos])) ++pos;
        const std::string_view name = text.substr(1, pos - 1);
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        const Position at{line, column};
        if (name.empty() || !IsNameStart(name[0]) || pos >= text.size() || text[pos] != '=') {
            report_.Error(at,
                          "a macro is defined as !name = music (a name of letters, digits "
                          "and _, starting with a letter)");
            return;
        }
        const int index = names_.Intern(name, at);
        if (program_.macros[static_cast<std::size_t>(index)].defined.line != 0) {
            report_.Error(
                at,
                "!" + std::string(name) + " is defined twice (first at line " +
                    std::to_string(program_.macros[static_cast<std::size_t>(index)].defined.line) +
                    ")");
            return;
        }
        ++pos;
        BodyReader reader(text.substr(pos), line, column + static_cast<int>(pos), program_, report_,
                          names_);
        const NodeRange body = reader.Read();
        Macro& macro = program_.macros[static_cast<std::size_t>(index)];
        macro.defined = at;
        macro.body = body;
    }

    void Channels(std::string_view text, int line, int column) {
        ChannelLine channels;
        channels.at = {line, column};
        std::size_t pos = 2;
        while (true) {
            const std::size_t start = pos;
            std::int64_t number = 0;
            while (pos < text.size() && IsDigit(text[pos]) && pos - start < 6) {
                number = number * 10 + (text[pos++] - '0');
            }
            const Position at{line, column + static_cast<int>(start)};
            if (pos == start) {
                report_.Error(at, "a channel list is ch1,3: numbers after commas");
            } else if (number < 1 || number > kOPMTarget.channelCount) {
                report_.Error(at, "ch" + std::to_string(number) + " is no channel (ch1 to ch8)");
            } else if (std::find(channels.channels.begin(), channels.channels.end(), number - 1) !=
                       channels.channels.end()) {
                report_.Error(at, "ch" + std::to_string(number) + " twice in one list");
            } else {
                channels.channels.push_back(static_cast<int>(number - 1));
            }
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            break;
        }
        BodyReader reader(text.substr(pos), line, column + static_cast<int>(pos), program_, report_,
                          names_);
        channels.body = reader.Read();
        program_.lines.push_back(std::move(channels));
    }

    // Every use of an undefined macro is reported; then a depth-first walk over the uses (on a
    // stack of its own, so no chain of macros can exhaust the program's) finds cycles, reported
    // at the use that closes one, and chains deeper than kMaxMacroDepth, reported at the macro
    // that starts the first one too deep. Macros that reach either expand to nothing.
    void ResolveMacros() {
        const std::size_t count = program_.macros.size();
        std::vector<std::vector<std::pair<int, Position>>> uses(count);
        std::vector<bool> usedAnywhere(count, false);
        auto collect = [&](NodeRange range, std::vector<std::pair<int, Position>>* into) {
            for (std::uint32_t i = range.begin; i < range.end; ++i) {
                const Node& node = program_.nodes[i];
                if (node.kind != NodeKind::Macro) continue;
                const auto used = static_cast<std::size_t>(node.a);
                usedAnywhere[used] = true;
                if (program_.macros[used].defined.line == 0) {
                    report_.Error(node.at, "!" + program_.macros[used].name + " is not defined");
                } else if (into != nullptr) {
                    into->push_back({node.a, node.at});
                }
            }
        };
        for (const ChannelLine& line : program_.lines) collect(line.body, nullptr);
        for (std::size_t m = 0; m < count; ++m) {
            if (program_.macros[m].defined.line != 0) collect(program_.macros[m].body, &uses[m]);
        }

        constexpr int kOnPath = -1;
        std::vector<int> depth(count, 0);  // 0: not reached; then the longest chain from here
        struct Frame {
            std::size_t macro;
            std::size_t next = 0;
        };
        std::vector<Frame> stack;
        auto finish = [&](std::size_t m) {
            int deepest = 0;
            bool broken = program_.macros[m].broken;
            for (const auto& [next, at] : uses[m]) {
                const auto n = static_cast<std::size_t>(next);
                deepest = std::max(deepest, depth[n]);
                broken = broken || program_.macros[n].broken;
            }
            depth[m] = deepest + 1;
            Macro& macro = program_.macros[m];
            if (depth[m] == kMaxMacroDepth + 1 && !broken) {
                report_.Error(macro.defined, "!" + macro.name + " starts a chain of " +
                                                 std::to_string(depth[m]) +
                                                 " macros; macros nest at most " +
                                                 std::to_string(kMaxMacroDepth) + " deep");
            }
            macro.broken = broken || depth[m] > kMaxMacroDepth;
        };
        for (std::size_t root = 0; root < count; ++root) {
            if (program_.macros[root].defined.line == 0 || depth[root] != 0) continue;
            stack.push_back({root});
            depth[root] = kOnPath;
            while (!stack.empty()) {
                Frame& frame = stack.back();
                if (frame.next == uses[frame.macro].size()) {
                    const std::size_t done = frame.macro;
                    stack.pop_back();
                    finish(done);
                    continue;
                }
                const auto& [nextIndex, at] = uses[frame.macro][frame.next++];
                const auto next = static_cast<std::size_t>(nextIndex);
                if (depth[next] == kOnPath) {
                    std::string chain;
                    auto from = std::find_if(stack.begin(), stack.end(),
                                             [next](const Frame& f) { return f.macro == next; });
                    for (auto it = from; it != stack.end(); ++it) {
                        chain += "!" + program_.macros[it->macro].name + " -> ";
                        program_.macros[it->macro].broken = true;
                    }
                    chain += "!" + program_.macros[next].name;
                    report_.Error(at, "a macro may not use itself: " + chain);
                } else if (depth[next] == 0) {
                    depth[next] = kOnPath;
                    stack.push_back({next});
                }
            }
        }
        for (std::size_t m = 0; m < count; ++m) {
            const Macro& macro = program_.macros[m];
            if (macro.defined.line != 0 && !usedAnywhere[m]) {
                report_.Warning(macro.defined, "!" + macro.name + " is never used");
            }
        }
    }

    Program& program_;
    Report& report_;
    MacroNames names_;
    std::optional<OpenVoice> voice_;
};

}  // namespace

int LetterSemitone(int letter) { return kLetterSemitones[static_cast<std::size_t>(letter)]; }

Program ParseProgram(std::span<const std::uint8_t> source, Report& report) {
    Program program;
    Parser parser(program, report);
    SourceLines lines(source);
    // The line reader ends a line's text at a zero byte; such a byte is an error of its own.
    const auto* zero = static_cast<const std::uint8_t*>(
        source.empty() ? nullptr : std::memchr(source.data(), 0, source.size()));
    const auto* end26 = static_cast<const std::uint8_t*>(
        source.empty() ? nullptr : std::memchr(source.data(), 26, source.size()));
    if (zero != nullptr && (end26 == nullptr || zero < end26)) {
        const auto offset = static_cast<std::size_t>(zero - source.data());
        const auto before = source.subspan(0, offset);
        const auto line = 1 + std::count(before.begin(), before.end(), std::uint8_t{'\n'});
        const auto lastFeed = std::find(before.rbegin(), before.rend(), std::uint8_t{'\n'});
        const auto column = 1 + std::distance(before.rbegin(), lastFeed);
        report.Error({static_cast<int>(line), static_cast<int>(column)},
                     "a zero byte in the source");
    }
    while (!lines.AtEnd()) {
        const std::string_view line = lines.Next();
        parser.Line(line, lines.LineNumber());
    }
    parser.Finish();
    return program;
}

}  // namespace qzr::qmml
