#include "qzr/compiler/qmml_voice.h"

#include <charconv>
#include <cstdio>

namespace qzr::qmml {

namespace {

// Byte groups of the voice file, each holding four operator bytes.
constexpr std::size_t kDetuneMultiple = 0;
constexpr std::size_t kTotalLevel = 1;
constexpr std::size_t kScalingAttack = 2;
constexpr std::size_t kAmsDecay1 = 3;
constexpr std::size_t kDetune2Decay2 = 4;
constexpr std::size_t kSustainRelease = 5;
constexpr std::size_t kFeedbackConnection = 24;

std::size_t At(std::size_t group, std::size_t slot) { return 4 * group + slot; }

std::uint8_t Byte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::size_t> OperatorLabel(std::string_view text) {
    for (std::size_t i = 0; i < kOperatorNames.size(); ++i) {
        if (text.size() == 3 && text.substr(0, 2) == kOperatorNames[i] && text[2] == ':') return i;
    }
    return std::nullopt;
}

}  // namespace

VoiceBytes EncodeVoice(const VoiceParameters& voice) {
    VoiceBytes bytes{};
    for (std::size_t s = 0; s < voice.operators.size(); ++s) {
        const OperatorParameters& op = voice.operators[s];
        bytes[At(kDetuneMultiple, s)] = Byte(op.dt1 << 4 | op.mul);
        bytes[At(kTotalLevel, s)] = Byte(op.tl);
        bytes[At(kScalingAttack, s)] = Byte(op.ks << 6 | op.ar);
        bytes[At(kAmsDecay1, s)] = Byte(op.amsEn << 7 | op.d1r);
        bytes[At(kDetune2Decay2, s)] = Byte(op.dt2 << 6 | op.d2r);
        bytes[At(kSustainRelease, s)] = Byte(op.d1l << 4 | op.rr);
    }
    bytes[kFeedbackConnection] = Byte(voice.feedback << 4 | voice.connection);
    return bytes;
}

VoiceParameters DecodeVoice(const VoiceBytes& bytes, bool* exact) {
    VoiceParameters voice;
    for (std::size_t s = 0; s < voice.operators.size(); ++s) {
        OperatorParameters& op = voice.operators[s];
        const int dm = bytes[At(kDetuneMultiple, s)];
        const int sa = bytes[At(kScalingAttack, s)];
        const int ad = bytes[At(kAmsDecay1, s)];
        const int dd = bytes[At(kDetune2Decay2, s)];
        const int sr = bytes[At(kSustainRelease, s)];
        op.dt1 = (dm >> 4) & 7;
        op.mul = dm & 15;
        op.tl = bytes[At(kTotalLevel, s)] & 127;
        op.ks = sa >> 6;
        op.ar = sa & 31;
        op.amsEn = ad >> 7;
        op.d1r = ad & 31;
        op.dt2 = dd >> 6;
        op.d2r = dd & 31;
        op.d1l = sr >> 4;
        op.rr = sr & 15;
    }
    voice.feedback = (bytes[kFeedbackConnection] >> 4) & 7;
    voice.connection = bytes[kFeedbackConnection] & 7;
    if (exact != nullptr) *exact = EncodeVoice(voice) == bytes;
    return voice;
}

std::string FormatVoiceText(const VoiceParameters& voice, std::string_view indent) {
    std::string text;
    std::array<char, 128> line{};
    const std::string in(indent);
    text += in + "; CON FB\n";
    std::snprintf(line.data(), line.size(), "%s  %3d %2d\n", in.c_str(), voice.connection,
                  voice.feedback);
    text += line.data();
    text += in + ";    AR D1R D2R  RR D1L  TL  KS MUL DT1 DT2 AMS-EN\n";
    for (std::size_t s = 0; s < voice.operators.size(); ++s) {
        const OperatorParameters& op = voice.operators[s];
        std::snprintf(line.data(), line.size(),
                      "%s%s: %3d %3d %3d %3d %3d %3d %3d %3d %3d %3d %3d\n", in.c_str(),
                      std::string(kOperatorNames[s]).c_str(), op.ar, op.d1r, op.d2r, op.rr, op.d1l,
                      op.tl, op.ks, op.mul, op.dt1, op.dt2, op.amsEn);
        text += line.data();
    }
    return text;
}

std::optional<VoiceParameters> ParseVoiceWords(const std::vector<VoiceWord>& words, int line,
                                               int column, std::vector<Diagnostic>& errors) {
    const std::size_t errorsBefore = errors.size();
    auto error = [&errors](const VoiceWord& at, std::string message) {
        errors.push_back({at.line, at.column, Severity::Error, std::move(message)});
    };
    auto inRange = [&](const VoiceWord& word, std::string_view name, int highest, int& out) {
        const auto value = Number(word.text);
        if (!value) {
            error(word, "'" + std::string(word.text) + "' is not a number; " + std::string(name) +
                            " is 0 to " + std::to_string(highest));
        } else if (*value < 0 || *value > highest) {
            error(word, std::string(name) + " " + std::string(word.text) + " is out of range; " +
                            std::string(name) + " is 0 to " + std::to_string(highest));
        } else {
            out = *value;
        }
    };

    VoiceParameters voice;
    std::size_t i = 0;
    const std::array<std::pair<std::string_view, int>, 2> heads{
        {{"CON", kHighestConnection}, {"FB", kHighestFeedback}}};
    for (std::size_t h = 0; h < heads.size(); ++h) {
        if (i >= words.size() || OperatorLabel(words[i].text)) {
            errors.push_back({line, column, Severity::Error,
                              "the voice starts with its connection and feedback (CON FB), then "
                              "one line per operator"});
            return std::nullopt;
        }
        inRange(words[i++], heads[h].first, heads[h].second,
                h == 0 ? voice.connection : voice.feedback);
    }
    std::array<bool, 4> seen{};
    while (i < words.size()) {
        const VoiceWord& label = words[i++];
        const auto slot = OperatorLabel(label.text);
        if (!slot) {
            error(label, "'" + std::string(label.text) +
                             "' is not an operator label; write M1:, M2:, C1: or C2: and its "
                             "11 numbers (AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN)");
            while (i < words.size() && !OperatorLabel(words[i].text)) ++i;
            continue;
        }
        if (seen[*slot]) error(label, "operator " + std::string(kOperatorNames[*slot]) + " twice");
        seen[*slot] = true;
        std::size_t field = 0;
        while (field < kOperatorFields.size() && i < words.size() &&
               !OperatorLabel(words[i].text)) {
            const OperatorField& f = kOperatorFields[field++];
            inRange(words[i++], f.name, f.highest, voice.operators[*slot].*f.member);
        }
        if (field < kOperatorFields.size()) {
            error(label, "operator " + std::string(kOperatorNames[*slot]) + " has " +
                             std::to_string(field) + " numbers; it needs 11 (AR D1R D2R RR D1L " +
                             "TL KS MUL DT1 DT2 AMS-EN), " +
                             std::string(kOperatorFields[field].name) + " is missing");
        }
    }
    for (std::size_t s = 0; s < seen.size(); ++s) {
        if (!seen[s]) {
            errors.push_back({line, column, Severity::Error,
                              "operator " + std::string(kOperatorNames[s]) + " is missing"});
        }
    }
    if (errors.size() != errorsBefore) return std::nullopt;
    return voice;
}

}  // namespace qzr::qmml
