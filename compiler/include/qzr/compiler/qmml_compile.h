#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "qzr/compiler/qmml_classic.h"
#include "qzr/compiler/qmml_diagnostic.h"
#include "qzr/compiler/qmml_voice.h"
#include "qzr/format/song_kind.h"

namespace qzr::qmml {

// qmml: the composer's MML, a second way into the same song files. Everything in a source
// expands at compile time into the rows that the classic compiler core writes; see the README's
// "Writing in qzr MML" for the language.

struct VoiceFileRead {
    enum class Status : std::uint8_t { Read, Missing, Directory, NotRegular };
    Status status = Status::Missing;
    std::vector<std::uint8_t> bytes;  // the first kVoiceFileBytes at most
};

// A regular file's first 25 bytes; a directory, a device or a pipe is never opened.
VoiceFileRead ReadVoiceFile(const std::filesystem::path& path);

struct Options {
    // Names the source in messages of the caller, and says the chip with ".opm." or ".opn2."
    // where #chip does not.
    std::string sourceName;
    // The chip where neither #chip nor the name says it (a --chip option).
    std::optional<SongKind> kind;
    // Voice file paths are relative to it (the source's folder).
    std::filesystem::path baseFolder;
    std::function<VoiceFileRead(const std::filesystem::path&)> readVoice = ReadVoiceFile;
    // Fill Result::events: where each row's note or rest stands in the source (an editor's
    // play-from-the-cursor and the notes it shows playing).
    bool mapEvents = false;
};

// One note or rest of a channel as it reaches the song's rows, and the source token it comes
// from (a token inside a repeat or a macro reaches the rows more than once).
struct MappedEvent {
    int channel = 0;        // from 0
    std::int32_t row = 0;   // its first row
    std::int32_t rows = 0;  // how many rows it lasts (within the song)
    int line = 0;           // of the token, from 1
    int column = 0;         // from 1, in bytes
    bool note = false;      // false: a rest
    friend bool operator==(const MappedEvent&, const MappedEvent&) = default;
};

struct Result {
    std::vector<Diagnostic> diagnostics;  // in source order, the first kMaxDiagnostics
    int errors = 0;
    int warnings = 0;
    int dropped = 0;  // counted but not kept

    std::optional<SongKind> kind;    // nullopt when the chip is not known
    ClassicSong classic;             // the lowered song, when there is no error
    std::vector<std::uint8_t> song;  // its song file, when there is no error
    // The voice files the source names, as opened: a change to one changes the song.
    std::vector<std::filesystem::path> voiceFiles;
    int slurs = 0;  // notes reached by '&'
    Diagnostic firstSlur;
    bool unreadable = false;  // CompileFile could not read the source
    // With Options::mapEvents and no error: every event within the song's rows, channel by
    // channel, each channel's in row order.
    std::vector<MappedEvent> events;
    std::int64_t barRows = 0;  // rows in a bar (#bar, or 64), once the header is read

    bool Ok() const { return errors == 0; }
};

// Compiles a source held in memory. Only voice files are read, through options.readVoice.
Result Compile(std::span<const std::uint8_t> source, const Options& options);

struct DefinedVoice {
    int number = 0;
    int line = 0;
    VoiceBytes bytes{};
    bool usable = false;  // read or parsed without error
};

struct VoiceList {
    std::vector<DefinedVoice> voices;  // in the order defined
    std::vector<Diagnostic> diagnostics;
    int errors = 0;
};

// The voices a source defines (@N "file" or @N { ... }), read without playing its music, so
// no chip is needed: a file of voices alone is a source too.
VoiceList ReadVoices(std::span<const std::uint8_t> source, const Options& options);

// Reads the source first (at most kMaxSourceBytes); its folder is the base for voice paths and
// its path names it, unless the options say otherwise.
Result CompileFile(const std::filesystem::path& sourcePath, Options options = {});

// The speed nearest to a tempo in beats a minute (thousandths), a tie going to the slower, and
// whether it plays that tempo exactly; nullopt outside what speeds 1 to 255 reach.
struct SpeedForTempo {
    int speed = 0;
    bool exact = false;
};
std::optional<SpeedForTempo> SpeedFor(SongKind kind, std::int64_t tempoMilli);

// The tempo a speed plays, in beats a minute.
double TempoOf(SongKind kind, int speed);

}  // namespace qzr::qmml
