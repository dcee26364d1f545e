#include "qzr/compiler/qmml_classic.h"

#include <algorithm>
#include <system_error>

#include "qzr/compiler/byte_sink.h"
#include "qzr/compiler/compiler_state.h"
#include "qzr/compiler/row_writer.h"
#include "qzr/compiler/song_file_writer.h"
#include "qzr/compiler/song_header.h"
#include "qzr/compiler/translate_token.h"

namespace qzr::qmml {

std::vector<std::uint8_t> BuildSong(const ClassicSong& song) {
    const SongTarget& target = TargetFor(song.kind);
    ByteSink sink;
    WriteSongHeader(sink, target, song.title, song.speed, song.rowCount);
    CompilerState state;
    for (std::size_t v = 0; v < song.voices.size(); ++v) {
        SetPan(state, song.voices[v].panLine);
        WriteVoiceRecord(sink, target, static_cast<int>(v), song.voices[v].bytes, state);
    }
    RowWriter rows(sink, target);
    state.defaultLength = CompilerState{}.defaultLength;  // what a body starts with
    for (const ClassicLine& line : song.body) {
        if (line.keyword == nullptr) {
            state.defaultLength = line.freeLength;
        } else {
            ApplyKeyword(state, *line.keyword, rows,
                         line.slur ? NoteStart::Slur : NoteStart::KeyOn);
        }
    }
    return sink.Release();
}

std::string ClassicSourceText(const ClassicSong& song) {
    std::string text;
    text.reserve(song.body.size() * 4 + 256);
    text += song.title + "\n" + std::to_string(song.speed) + "\n" + std::to_string(song.rowCount) +
            "\n";
    for (const ClassicVoice& voice : song.voices) {
        text += voice.panLine + "\n" + voice.fileName + "\n";
    }
    for (const ClassicLine& line : song.body) {
        if (line.keyword == nullptr) {
            text += "l%" + std::to_string(line.freeLength);
        } else {
            text += line.keyword->Text();
        }
        text += '\n';
    }
    return text;
}

ClassicFiles WriteClassicFiles(const ClassicSong& song, const std::filesystem::path& folder,
                               const std::string& sourceName) {
    ClassicFiles files;
    auto write = [&files](const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        SongFileWriter writer(path);
        if (!writer.Open() || !writer.Commit(bytes)) {
            files.failed = path;
            return false;
        }
        files.written.push_back(path);
        return true;
    };
    std::vector<std::string> done;
    for (const ClassicVoice& voice : song.voices) {
        // Channels sharing a voice share its file.
        if (std::find(done.begin(), done.end(), voice.fileName) != done.end()) continue;
        done.push_back(voice.fileName);
        if (!write(folder / voice.fileName, voice.bytes)) return files;
    }
    const std::string text = ClassicSourceText(song);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    files.ok = write(folder / sourceName, {bytes, text.size()});
    return files;
}

}  // namespace qzr::qmml
