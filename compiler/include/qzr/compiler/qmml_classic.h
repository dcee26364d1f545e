#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/qmml_voice.h"
#include "qzr/format/song_kind.h"

namespace qzr::qmml {

// A qmml song lowered to the classic source's terms: the three header values, one pan line and
// voice file a channel, and body lines that each spell a keyword or the free length l%N. Both
// outputs come from it: the song file, through the compiler core's own steps, and the classic
// source text, which opmcomp or opn2comp compile to the same file.
struct ClassicVoice {
    std::string panLine;  // "11", "10" or "01"
    VoiceBytes bytes{};
    std::string fileName;  // relative to the classic source's folder
};

struct ClassicLine {
    const Keyword* keyword = nullptr;  // nullptr: the free length l%freeLength
    std::int32_t freeLength = 0;
    // A note reached by '&': the song file gets key byte 0 in its first row. The classic
    // source cannot say so and gets its key on.
    bool slur = false;
};

struct ClassicSong {
    SongKind kind = SongKind::OPM;
    std::string title;
    std::int32_t speed = 0;
    std::int32_t rowCount = 0;
    std::vector<ClassicVoice> voices;  // one a channel
    std::vector<ClassicLine> body;
};

// The song file, as the compiler core writes it for these lines.
std::vector<std::uint8_t> BuildSong(const ClassicSong& song);

// The classic source: title, speed, row count, pan line and voice path per channel, then one
// body line each.
std::string ClassicSourceText(const ClassicSong& song);

struct ClassicFiles {
    bool ok = false;
    std::filesystem::path failed;  // the file that could not be written
    std::vector<std::filesystem::path> written;
};

// Writes the classic source as `folder`/`sourceName` and its voice files beside it (their names
// are relative to `folder`, where opmcomp or opn2comp is to run). Each file appears whole or
// not at all; an existing file is replaced only by a complete one.
ClassicFiles WriteClassicFiles(const ClassicSong& song, const std::filesystem::path& folder,
                               const std::string& sourceName);

}  // namespace qzr::qmml
