#include "qzr/compiler/qmml_classic.h"

#include "qzr/compiler/byte_sink.h"
#include "qzr/compiler/compiler_state.h"
#include "qzr/compiler/row_writer.h"
#include "qzr/compiler/song_header.h"
#include "qzr/compiler/translate_token.h"

namespace qzr::qmml {

namespace {

constexpr std::int32_t kBodyDefaultLength = 16;  // what a classic body starts with

}  // namespace

std::vector<std::uint8_t> BuildSong(const ClassicSong& song) {
    const SongTarget& target = *song.target;
    ByteSink sink;
    WriteSongHeader(sink, target, song.title, song.speed, song.rowCount);
    CompilerState state;
    for (std::size_t v = 0; v < song.voices.size(); ++v) {
        SetPan(state, song.voices[v].panLine);
        WriteVoiceRecord(sink, target, static_cast<int>(v), song.voices[v].bytes, state);
    }
    RowWriter rows(sink, target);
    state.defaultLength = kBodyDefaultLength;
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

}  // namespace qzr::qmml
