#include "qzr/compiler/compile_song.h"

#include <algorithm>
#include <cstddef>

#include "qzr/common/file_reading.h"
#include "qzr/common/to_integer.h"
#include "qzr/compiler/byte_sink.h"
#include "qzr/compiler/source_lines.h"
#include "qzr/compiler/translate_token.h"

namespace qzr {

namespace {

std::int32_t NumberOfLine(std::string_view line) { return ToInteger(std::string(line).c_str()); }

std::uint8_t Low8(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

void SetPan(CompilerState& state, std::string_view line) {
    // Any other line keeps the flags of the voice before.
    if (line == "11") {
        state.panLeft = 1;
        state.panRight = 1;
    } else if (line == "10") {
        state.panLeft = 1;
        state.panRight = 0;
    } else if (line == "01") {
        state.panLeft = 0;
        state.panRight = 1;
    }
}

// Feedback and connection are added, not merged bit by bit: a nibble of 8 or more carries into
// the bits above it, and only the low 8 bits of the sum are kept.
std::uint8_t ControlByte(std::uint8_t fbConnection, const CompilerState& state) {
    const int high = fbConnection / 16;
    const int low = fbConnection % 16;
    return Low8(8 * high + low + 64 * state.panLeft + 128 * state.panRight);
}

void CompileHeader(SourceLines& lines, const SongTarget& target, ByteSink& sink,
                   SongHeader& header) {
    const std::string_view title = lines.Next();
    // Only 24 bytes belong to the title; more would spill into the voice records.
    header.title = std::string(title.substr(0, std::min<std::size_t>(title.size(), kTitleSize)));
    for (std::size_t i = 0; i < header.title.size(); ++i) {
        sink.Put(i, static_cast<std::uint8_t>(header.title[i]));
    }

    header.speedValue = NumberOfLine(lines.Next());
    sink.Put(static_cast<std::size_t>(target.speedOffset), Low8(header.speedValue));

    header.rowCountValue = NumberOfLine(lines.Next());
    const std::int32_t value = header.rowCountValue;
    const std::int32_t high = value > 255 ? value / 256 : 0;
    const std::int32_t low = value > 255 ? value % 256 : value;
    sink.Put(static_cast<std::size_t>(target.RowCountLowOffset()), Low8(low));
    sink.Put(static_cast<std::size_t>(target.RowCountHighOffset()), Low8(high));
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

        const auto record = static_cast<std::size_t>(target.VoiceRecordOffset(voice));
        for (std::size_t i = 0; i < static_cast<std::size_t>(target.voiceBytesCopied); ++i) {
            sink.Put(record + i, voiceBytes[i]);
        }
        sink.Put(static_cast<std::size_t>(target.ControlByteOffset(voice)),
                 ControlByte(voiceBytes[kVoiceFileBytes - 1], state));
    }
    return true;
}

void CompileBody(SourceLines& lines, const SongTarget& target, CompilerState& state, ByteSink& sink,
                 const BodyLineObserver& observer) {
    const KeywordTable& keywords = KeywordsFor(target);
    RowWriter rows(sink, target);
    state.defaultLength = 16;
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

CompileResult CompileLines(SourceLines& lines, const SongTarget& target,
                           const std::filesystem::path& baseFolder,
                           const BodyLineObserver& observer) {
    CompileResult result;
    ByteSink sink;
    CompilerState state;
    CompileHeader(lines, target, sink, result.header);
    if (CopyVoiceTable(lines, target, baseFolder, state, sink, result)) {
        CompileBody(lines, target, state, sink, observer);
    }
    result.song = sink.Release();
    return result;
}

CompileResult CompileSource(std::span<const std::uint8_t> source, const SongTarget& target,
                            const std::filesystem::path& baseFolder,
                            const BodyLineObserver& observer) {
    SourceLines lines(source);
    return CompileLines(lines, target, baseFolder, observer);
}

CompileResult CompileFile(const std::filesystem::path& sourcePath, const SongTarget& target,
                          const std::filesystem::path& baseFolder,
                          const BodyLineObserver& observer) {
    std::string ignored;
    auto file = InputFile::Open(sourcePath, ignored);
    CompileResult result;
    if (file) {
        SourceLines lines(*file);
        result = CompileLines(lines, target, baseFolder, observer);
        if (!lines.Failed()) return result;
    }
    result.status = CompileStatus::CannotOpenSource;
    result.failedPath = sourcePath.string();
    return result;
}

}  // namespace qzr
