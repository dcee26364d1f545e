#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/compiler/qmml_diagnostic.h"
#include "qzr/format/song_target.h"

namespace qzr::qmml {

// A voice as its parameters: what the 25 bytes of a voice file hold, field by field. The text
// form lists connection and feedback, then one line per operator in this field order:
//   AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN
struct OperatorParameters {
    int ar = 0;     // attack rate 0-31
    int d1r = 0;    // first decay rate 0-31
    int d2r = 0;    // second decay rate 0-31
    int rr = 0;     // release rate 0-15
    int d1l = 0;    // sustain level 0-15
    int tl = 0;     // total level 0-127
    int ks = 0;     // key scaling 0-3
    int mul = 0;    // frequency multiple 0-15
    int dt1 = 0;    // detune 1, 0-7
    int dt2 = 0;    // detune 2, 0-3
    int amsEn = 0;  // LFO amplitude enable 0-1

    friend bool operator==(const OperatorParameters&, const OperatorParameters&) = default;
};

struct VoiceParameters {
    int connection = 0;  // 0-7
    int feedback = 0;    // 0-7
    // In the voice file's order: M1, M2, C1, C2.
    std::array<OperatorParameters, 4> operators{};

    friend bool operator==(const VoiceParameters&, const VoiceParameters&) = default;
};

inline constexpr std::array<std::string_view, 4> kOperatorNames{"M1", "M2", "C1", "C2"};

struct OperatorField {
    std::string_view name;
    int highest;
    int OperatorParameters::*member;
};

// The text order of an operator line.
inline constexpr std::array<OperatorField, 11> kOperatorFields{{
    {"AR", 31, &OperatorParameters::ar},
    {"D1R", 31, &OperatorParameters::d1r},
    {"D2R", 31, &OperatorParameters::d2r},
    {"RR", 15, &OperatorParameters::rr},
    {"D1L", 15, &OperatorParameters::d1l},
    {"TL", 127, &OperatorParameters::tl},
    {"KS", 3, &OperatorParameters::ks},
    {"MUL", 15, &OperatorParameters::mul},
    {"DT1", 7, &OperatorParameters::dt1},
    {"DT2", 3, &OperatorParameters::dt2},
    {"AMS-EN", 1, &OperatorParameters::amsEn},
}};
inline constexpr int kHighestConnection = 7;
inline constexpr int kHighestFeedback = 7;

using VoiceBytes = std::array<std::uint8_t, kVoiceFileBytes>;

// The voice file bytes: six groups of four operator bytes (DT1/MUL, TL, KS/AR, AMS-EN/D1R,
// DT2/D2R, D1L/RR; in each group M1, M2, C1, C2), then feedback in the high and connection in
// the low nibble. Parameters must be within their ranges.
VoiceBytes EncodeVoice(const VoiceParameters& voice);

// The parameters the bytes hold. Bits outside every field (and a feedback or connection nibble
// above 7) are not kept; `exact` tells whether encoding gives the same bytes back.
VoiceParameters DecodeVoice(const VoiceBytes& bytes, bool* exact = nullptr);

// The text form, as written inside @N { ... }: a comment naming the columns, the connection and
// feedback, and the four operator lines. `indent` starts every line.
std::string FormatVoiceText(const VoiceParameters& voice, std::string_view indent = "  ");

// One word of an inline voice: a number or an operator label ("M1:"), where it stands.
struct VoiceWord {
    std::string_view text;
    int line = 0;
    int column = 0;
};

// Reads the words between the braces: connection, feedback, then each of M1:, M2:, C1:, C2:
// once, in any order, with its 11 numbers. Every error goes to `errors`; nullopt after any.
// `line` and `column` are those of the opening brace.
std::optional<VoiceParameters> ParseVoiceWords(const std::vector<VoiceWord>& words, int line,
                                               int column, std::vector<Diagnostic>& errors);

}  // namespace qzr::qmml
