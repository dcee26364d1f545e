#include "qzr/studio/classic_source.h"

#include <algorithm>

#include "qzr/compiler/compile_song.h"
#include "qzr/format/song_image.h"
#include "qzr/tools/check.h"

namespace qzr::studio {

std::optional<SongKind> ClassicKindOf(const std::filesystem::path& name) {
    if (name.extension() == ".qmml") return std::nullopt;
    return SongKindFromFileName(name);
}

int ClassicHeaderLines(SongKind kind) { return 3 + 2 * TargetFor(kind).VoiceCount(); }

qmml::Result CompileClassic(std::span<const std::uint8_t> source, SongKind kind,
                            const std::filesystem::path& folder,
                            const std::filesystem::path& sourcePath) {
    const SongTarget& target = TargetFor(kind);
    qmml::Result result;
    result.kind = kind;
    std::vector<qmml::MappedEvent> events;
    const CompileResult compiled =
        CompileSource(source, target, folder, [&](const BodyLineReport& line) {
            if (line.keyword == nullptr || (line.keyword->kind != KeywordKind::Note &&
                                            line.keyword->kind != KeywordKind::Rest)) {
                return;
            }
            events.push_back({.channel = line.stateAfter.channelOffset / 2,
                              .row = static_cast<std::int32_t>(
                                  std::min<std::int64_t>(line.rowBefore, INT32_MAX)),
                              .rows = static_cast<std::int32_t>(std::min<std::int64_t>(
                                  line.stateAfter.row - line.rowBefore, INT32_MAX)),
                              .line = line.lineNumber,
                              .column = 1,
                              .note = line.keyword->kind == KeywordKind::Note});
        });
    if (compiled.status == CompileStatus::CannotOpenVoice) {
        result.diagnostics.push_back(
            {0, 0, qmml::Severity::Error, "cannot open voice file " + compiled.failedPath});
        result.errors = 1;
        return result;
    }
    for (const tools::Diagnostic& finding :
         tools::CheckSource(source, target, folder, sourcePath)) {
        result.diagnostics.push_back(
            {finding.line, finding.column, qmml::Severity::Warning, finding.message});
        ++result.warnings;
    }
    result.song = compiled.song;
    const int rowCount = SongImage(kind, result.song).RowCount();
    result.classic.kind = kind;
    result.classic.title = compiled.header.title;
    result.classic.rowCount = rowCount;
    result.barRows = 64;  // a whole note: the classic source has no bars of its own
    // Each channel's events in row order, within the song's rows, as the qmml map has them.
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
        return a.channel != b.channel ? a.channel < b.channel : a.row < b.row;
    });
    for (qmml::MappedEvent& event : events) {
        if (event.row >= rowCount || event.rows <= 0) continue;
        event.rows = std::min(event.rows, rowCount - event.row);
        result.events.push_back(event);
    }
    return result;
}

}  // namespace qzr::studio
