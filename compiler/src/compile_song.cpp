#include "qzr/compiler/compile_song.h"

#include <algorithm>
#include <cstddef>

#include "qzr/common/file_reading.h"
#include "qzr/common/to_integer.h"
#include "qzr/compiler/byte_sink.h"
#include "qzr/compiler/song_header.h"
#include "qzr/compiler/source_lines.h"
#include "qzr/compiler/translate_token.h"

namespace qzr {

namespace {

std::int32_t NumberOfLine(std::string_view line) { return ToInteger(std::string(line).c_str()); }

void CompileHeader(SourceLines& lines, const SongTarget& target, ByteSink& sink,
                   SongHeader& header) {
    const std::string_view title = lines.Next();
    header.title = std::string(title.substr(0, std::min<std::size_t>(title.size(), kTitleSize)));
    header.speedValue = NumberOfLine(lines.Next());
    header.rowCountValue = NumberOfLine(lines.Next());
    WriteSongHeader(sink, target, header.title, header.speedValue, header.rowCountValue);
}

// Returns false, with the voice path in result.failedPath, when a voice file cannot be read.
bool CopyVoiceTable(SourceLines& lines, const SongTarget& target,
                    const std::filesystem::path& baseFolder, CompilerState& state, ByteSink& sink,
                    CompileResult& result) {
    for (int voice = 0; voice < target.VoiceCount(); ++voice) {
        SetPan(state, lines.Next());
        const std::string path(lines.Next());
        result.header.voicePaths.push_back(path);

        const std::filesystem::path filePath(path);
        const auto bytes =
            ReadFileBytes(filePath.is_absolute() || path.empty() ? filePath : baseFolder / filePath,
                          kVoiceFileBytes);
        if (!bytes) {
            result.status = CompileStatus::CannotOpenVoice;
            result.failedPath = path;
            return false;
        }
        // A short voice file is not an error: its missing bytes count as 0.
        std::array<std::uint8_t, kVoiceFileBytes> voiceBytes{};
        std::copy(bytes->begin(), bytes->end(), voiceBytes.begin());
        WriteVoiceRecord(sink, target, voice, voiceBytes, state);
    }
    return true;
}

void CompileBody(SourceLines& lines, const SongTarget& target, CompilerState& state, ByteSink& sink,
                 const BodyLineObserver& observer) {
    const KeywordTable& keywords = KeywordsFor(target);
    RowWriter rows(sink, target);
    state.defaultLength = CompilerState{}.defaultLength;
    while (!lines.AtEnd()) {
        const std::string_view line = lines.Next();
        const std::int64_t rowBefore = state.row;
        rows.StartLine();
        const Keyword* keyword = TranslateToken(state, keywords, line, rows);
        const bool freeLength = ApplyLengthRule(state, line);
        if (observer) {
            observer(BodyLineReport{.lineNumber = lines.LineNumber(),
                                    .text = line,
                                    .keyword = keyword,
                                    .setsFreeLength = freeLength,
                                    .rowBefore = rowBefore,
                                    .stateAfter = state,
                                    .writes = rows.LineWrites(),
                                    .skippedWrites = rows.LineSkipped()});
        }
    }
}

}  // namespace

CompileResult CompileSource(std::span<const std::uint8_t> source, const SongTarget& target,
                            const std::filesystem::path& baseFolder,
                            const BodyLineObserver& observer) {
    CompileResult result;
    SourceLines lines(source);
    ByteSink sink;
    CompilerState state;
    CompileHeader(lines, target, sink, result.header);
    if (CopyVoiceTable(lines, target, baseFolder, state, sink, result)) {
        CompileBody(lines, target, state, sink, observer);
    }
    result.song = sink.Release();
    return result;
}

CompileResult CompileFile(const std::filesystem::path& sourcePath, const SongTarget& target,
                          const std::filesystem::path& baseFolder,
                          const BodyLineObserver& observer) {
    const auto source = ReadWholeFile(sourcePath);
    if (!source) {
        CompileResult result;
        result.status = CompileStatus::CannotOpenSource;
        result.failedPath = sourcePath.string();
        return result;
    }
    return CompileSource(*source, target, baseFolder, observer);
}

}  // namespace qzr
