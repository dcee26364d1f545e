#include "qzr/ymrender/register_script.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <new>

#include "qzr/emulator_core/write_pacer.h"

namespace qzr::ymrender {
namespace {

// A number in decimal or, with 0x, hexadecimal; nothing else on the token.
std::optional<std::uint64_t> ParseNumber(std::string_view token) {
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        token.remove_prefix(2);
        base = 16;
    }
    if (token.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value, base);
    if (ec != std::errc{} || end != token.data() + token.size()) return std::nullopt;
    return value;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

std::string Quote(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

ParsedScript ParseRegisterScript(TextLines& lines) {
    ParsedScript result;
    std::size_t lineNumber = 0;
    std::uint64_t lastSample = 0;
    while (const auto next = lines.Next()) {
        ++lineNumber;
        auto fail = [&](std::string message) {
            result.error = ScriptError{lineNumber, std::move(message)};
            return result;
        };
        if (lines.LastCut()) {
            return fail("the line is longer than " + std::to_string(TextLines::kMaxLineBytes) +
                        " bytes");
        }
        std::string_view line = *next;
        if (const auto hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);

        const auto fields = SplitFields(line);
        if (fields.empty()) continue;
        if (fields.size() != 3) {
            return fail("expected SAMPLE REGISTER VALUE, found " + std::to_string(fields.size()) +
                        (fields.size() == 1 ? " field" : " fields"));
        }
        const auto sample = ParseNumber(fields[0]);
        const auto reg = ParseNumber(fields[1]);
        const auto value = ParseNumber(fields[2]);
        if (!sample) return fail("sample " + Quote(fields[0]) + " is not a number");
        if (*sample > std::numeric_limits<std::uint32_t>::max()) {
            return fail("sample " + Quote(fields[0]) + " is too large");
        }
        if (!reg || *reg > 0xFF)
            return fail("register " + Quote(fields[1]) + " is not a number 0 to 255");
        if (!value || *value > 0xFF)
            return fail("value " + Quote(fields[2]) + " is not a number 0 to 255");
        if (*sample < lastSample) {
            return fail("sample " + std::to_string(*sample) + " comes after sample " +
                        std::to_string(lastSample) + "; lines must be in order of sample");
        }
        lastSample = *sample;
        result.writes.push_back(ScriptWrite{*sample, static_cast<std::uint8_t>(*reg),
                                            static_cast<std::uint8_t>(*value)});
    }
    return result;
}

ParsedScript ParseRegisterScript(std::string_view text) {
    TextLines lines(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return ParseRegisterScript(lines);
}

std::vector<ScriptWrite> ScheduleWrites(std::span<const ScriptWrite> writes) {
    // The writes reach the pacer before their samples, as they would reach the chip; the
    // sample before which the pacer hands one out is the one it is made before.
    std::vector<ScriptWrite> scheduled;
    scheduled.reserve(writes.size());
    emulator::WritePacer pacer;
    std::size_t next = 0;
    std::uint64_t n = 0;
    while (next < writes.size() || pacer.Held() != 0) {
        if (pacer.Held() == 0) n = std::max(n, writes[next].sample);
        for (; next < writes.size() && writes[next].sample <= n; ++next) {
            pacer.Push(emulator::RegisterWrite{writes[next].reg, writes[next].value});
        }
        if (const auto write = pacer.TakeForSample()) {
            scheduled.push_back(ScriptWrite{n, write->reg, write->value});
        }
        ++n;
    }
    return scheduled;
}

std::uint64_t DefaultSampleCount(std::span<const ScriptWrite> scheduled) {
    return (scheduled.empty() ? 0 : scheduled.back().sample) + 55'930;
}

std::vector<emulator::StereoSample> RenderScript(std::span<const ScriptWrite> scheduled,
                                                 std::uint64_t samples) {
    // More frames than the address space can count (a 32-bit build) is the bad_alloc of any
    // render too large for the memory there is.
    if (samples > std::numeric_limits<std::size_t>::max()) throw std::bad_alloc();
    const auto count = static_cast<std::size_t>(samples);
    emulator::YM2151 chip;
    std::vector<emulator::StereoSample> frames(count);
    std::size_t next = 0;
    std::size_t n = 0;
    while (n < count) {
        if (next < scheduled.size() && scheduled[next].sample == n) {
            chip.Write(scheduled[next].reg, scheduled[next].value);
            ++next;
            frames[n] = chip.Generate();
            ++n;
            continue;
        }
        // Run to the next write in one call (a write's sample below count fits in size_t).
        const std::size_t until = next < scheduled.size() && scheduled[next].sample < samples
                                      ? static_cast<std::size_t>(scheduled[next].sample)
                                      : count;
        chip.Generate(std::span(frames).subspan(n, until - n));
        n = until;
    }
    return frames;
}

}  // namespace qzr::ymrender
