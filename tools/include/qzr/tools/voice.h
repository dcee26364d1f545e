#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace qzr::tools {

struct VoiceOptions {
    // A binary voice file (NAME.voice, 25 bytes) or a qmml text that defines voices with
    // @N "file" or @N { ... } (a song, or a file of voices alone).
    std::filesystem::path file;
    std::optional<int> number;     // which @N of a text; needed when it defines several
    std::filesystem::path output;  // empty: print the text form; X.voice: the bytes; X.wav,
                                   // X.flac: the voice alone on one note
    std::string note = "o4a";      // oN, a letter, and + - or = (o4a, o3c+)
    double seconds = 2.0;          // how long the note is held, before a release tail
};

// `qzr voice`. Status 0 done, 1 the output cannot be written, 2 the voice cannot be read or the
// arguments say nothing playable.
int RunVoice(const VoiceOptions& options, std::FILE* out, std::FILE* err);

}  // namespace qzr::tools
