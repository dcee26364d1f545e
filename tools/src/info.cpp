#include "qzr/tools/info.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdarg>
#include <cstdio>

#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/qmml_voice.h"
#include "qzr/format/player_timing.h"
#include "qzr/format/rows.h"

namespace qzr::tools {
namespace {

// The tempo is counted in quarter notes, as the length suffix "4" spells them in rows.
constexpr int kRowsPerQuarterNote = RowsOfSuffix("4");

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    std::array<char, 256> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return text.data();
}

std::optional<int> ParseRowNumber(std::string_view text, bool& ok) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) ok = false;
    return value;
}

std::string Pan(std::uint8_t control) {
    const bool left = (control & 0x40) != 0;
    const bool right = (control & 0x80) != 0;
    if (left && right) return "LR";
    if (left) return "L";
    if (right) return "R";
    return "off";
}

void AppendVoices(const SongImage& song, std::string& text) {
    text += "\nvoices (YM2151 parameters per operator)\n";
    for (int v = 0; v < song.Target().VoiceCount(); ++v) {
        const VoiceRecord voice = song.Voice(v);
        text += Format("voice %d (ch%d): pan %s, feedback %d, connection %d\n", v + 1, v + 1,
                       Pan(voice.control).c_str(), (voice.control >> 3) & 7, voice.control & 7);
        text += "  slot DT1 MUL  TL  KS  AR AME D1R DT2 D2R D1L  RR\n";
        // The operator bytes have the voice file's layout; the qmml voice reader owns it.
        qmml::VoiceBytes bytes{};
        std::copy(voice.operatorBytes.begin(), voice.operatorBytes.end(), bytes.begin());
        const qmml::VoiceParameters parameters = qmml::DecodeVoice(bytes);
        for (std::size_t s = 0; s < qmml::kOperatorNames.size(); ++s) {
            const qmml::OperatorParameters& op = parameters.operators[s];
            text += Format("  %-4s %3d %3d %3d %3d %3d %3d %3d %3d %3d %3d %3d\n",
                           std::string(qmml::kOperatorNames[s]).c_str(), op.dt1, op.mul, op.tl,
                           op.ks, op.ar, op.amsEn, op.d1r, op.dt2, op.d2r, op.d1l, op.rr);
        }
    }
}

// Without trailing blanks, so a golden copy survives editors that strip them.
void AppendLine(std::string line, std::string& text) {
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
}

void AppendRows(const SongImage& song, const RowRange& range, std::string& text) {
    const int rowCount = song.RowCount();
    const int first = range.first.value_or(0);
    const int last = std::min(range.last.value_or(rowCount - 1), rowCount - 1);
    const int channels = song.Target().channelCount;
    text += "\nrows\n";
    std::string line = "  row";
    for (int c = 0; c < channels; ++c) line += Format(" | ch%-5d", c + 1);
    AppendLine(line, text);
    for (int row = first; row <= last; ++row) {
        line = Format("%5d", row);
        for (int c = 0; c < channels; ++c) {
            line += " | " + TrackerEventText(song.Note(row, c), song.Key(row, c));
        }
        AppendLine(line, text);
    }
    if (first > last) text += "  (no rows in this range)\n";
}

}  // namespace

std::optional<RowRange> ParseRowRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    bool ok = true;
    RowRange range{ParseRowNumber(text.substr(0, colon), ok),
                   ParseRowNumber(text.substr(colon + 1), ok)};
    if (!ok) return std::nullopt;
    return range;
}

std::string DescribeSong(const SongImage& song, std::string_view name, const RowRange& rows,
                         const std::vector<SongFinding>& findings) {
    std::string text;
    const SongTarget& target = song.Target();
    text += Format("song      %.*s\n", static_cast<int>(name.size()), name.data());
    text += Format("chip      %s (%d channels)\n", std::string(SongKindName(song.Kind())).c_str(),
                   target.channelCount);
    text += "title     \"" + song.Title() + "\"\n";
    const std::int64_t rowMs = kTickPeriodMs * song.TicksPerRow();
    text +=
        Format("speed     %d (a row every %lld ms", song.Speed(), static_cast<long long>(rowMs));
    if (rowMs > 0) {
        text += Format(", %.5g BPM", 60'000.0 / static_cast<double>(kRowsPerQuarterNote * rowMs));
    }
    text += ")\n";
    text += Format("rows      %d", song.RowCount());
    if (song.RowCount() != song.DeclaredRowCount()) {
        text += Format(" (the file says %d; the player holds %d)", song.DeclaredRowCount(),
                       song.RowCount());
    }
    text += "\n";
    const std::int64_t passTicks = song.TicksPerPass();
    if (passTicks == 0) {
        text += "duration  never ends (it never wraps to row 0)\n";
    } else {
        text += Format("duration  %.3f s a pass\n",
                       static_cast<double>(passTicks * kTickPeriodMs) / 1000.0);
    }
    for (const SongFinding& finding : findings) {
        text += (finding.disqualifies ? "warning   " : "note      ") + finding.message + "\n";
    }
    AppendVoices(song, text);
    AppendRows(song, rows, text);
    return text;
}

}  // namespace qzr::tools
