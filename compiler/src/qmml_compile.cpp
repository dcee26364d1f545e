#include "qzr/compiler/qmml_compile.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <map>
#include <system_error>

#include "qmml_expander.h"
#include "qmml_parser.h"
#include "qmml_report.h"
#include "qzr/common/file_reading.h"
#include "qzr/compiler/compiler_state.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/format/player_timing.h"

namespace qzr::qmml {

namespace {

constexpr std::int64_t kDefaultTempoMilli = 125'000;  // speed 6 on OPM, 2 on OPN2
constexpr std::int64_t kDefaultBarRows = 64;
constexpr std::int64_t kRowsPerQuarter = RowsOfSuffix("4");
constexpr std::int64_t kMillisecondsPerMinute = 60'000;
constexpr int kHighestSpeed = 255;
// A voice file's 25th byte: feedback in the high nibble. Raising it by 8 adds 64 to the control
// byte, which with both pan bits set (192) wraps back to neither.
constexpr int kPanOffCarry = 8 << 4;

// The milliseconds of a quarter note at speed 1.
std::int64_t QuarterMsAtSpeedOne(SongKind kind) {
    return kRowsPerQuarter * kTickPeriodMs * TicksPerRow(kind, 1);
}

// FNV-1a, 32 bits, as eight hex digits.
std::string HashText(const VoiceBytes& bytes) {
    std::uint32_t hash = 2'166'136'261u;
    for (const std::uint8_t b : bytes) hash = (hash ^ b) * 16'777'619u;
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%08x", hash);
    return text.data();
}

std::string Decimal(double value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.2f", value);
    std::string s = text.data();
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

// The keywords the lowering spells, looked up once a target.
struct Vocabulary {
    std::array<const Keyword*, 8> channels{};
    const Keyword* legatoOn = nullptr;
    const Keyword* legatoOff = nullptr;
    std::array<const Keyword*, 8> octaves{};
    const Keyword* rest = nullptr;
    std::array<const Keyword*, kLengthSuffixes.size()> rests{};
    std::array<const Keyword*, 13> notes{};  // by semitone 1 to 12, default length
    std::array<std::array<const Keyword*, kLengthSuffixes.size()>, 13> timedNotes{};
    std::array<int, 97> suffixOfRows{};  // index into kLengthSuffixes, -1 for none
};

Vocabulary BuildVocabulary(const SongTarget& target) {
    static constexpr std::array<std::string_view, 13> kSharpNames{
        "", "c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
    const KeywordTable& table = KeywordsFor(target);
    auto find = [&table](const std::string& text) {
        const Keyword* keyword = table.Find(text);
        assert(keyword != nullptr);
        return keyword;
    };
    Vocabulary v;
    for (int c = 0; c < target.channelCount; ++c) {
        v.channels[static_cast<std::size_t>(c)] = find("ch" + std::to_string(c + 1));
    }
    v.legatoOn = find("legato on");
    v.legatoOff = find("legato off");
    for (int o = 0; o < 8; ++o)
        v.octaves[static_cast<std::size_t>(o)] = find("o" + std::to_string(o));
    v.rest = find("r");
    v.suffixOfRows.fill(-1);
    for (std::size_t s = 0; s < kLengthSuffixes.size(); ++s) {
        const std::string suffix(kLengthSuffixes[s].text);
        v.suffixOfRows[static_cast<std::size_t>(kLengthSuffixes[s].rows)] = static_cast<int>(s);
        v.rests[s] = find("r" + suffix);
        for (std::size_t n = 1; n < kSharpNames.size(); ++n) {
            v.timedNotes[n][s] = find(std::string(kSharpNames[n]) + suffix);
        }
    }
    for (std::size_t n = 1; n < kSharpNames.size(); ++n)
        v.notes[n] = find(std::string(kSharpNames[n]));
    return v;
}

const Vocabulary& VocabularyFor(SongKind kind) {
    static const Vocabulary opm = BuildVocabulary(kOPMTarget);
    static const Vocabulary opn2 = BuildVocabulary(kOPN2Target);
    return kind == SongKind::OPN2 ? opn2 : opm;
}

// Turns the channels' events into classic lines, spelling only what changes: the classic
// compiler carries octave, default length and legato from one line (and channel) to the next.
class Lowering {
public:
    Lowering(SongKind kind, std::vector<ClassicLine>& out) : v_(VocabularyFor(kind)), out_(out) {}

    void Channel(int channel, const std::vector<Event>& events) {
        Keyword(v_.channels[static_cast<std::size_t>(channel)]);
        for (const Event& event : events) {
            if (event.code == 0) {
                Timed(event.rows, v_.rest, v_.rests, false);
                continue;
            }
            if (event.noKeyOff != legato_) {
                legato_ = event.noKeyOff;
                Keyword(legato_ ? v_.legatoOn : v_.legatoOff);
            }
            const int octave = (event.code - 1) / 12;
            const auto semitone = static_cast<std::size_t>((event.code - 1) % 12 + 1);
            if (octave != octave_) {
                octave_ = octave;
                Keyword(v_.octaves[static_cast<std::size_t>(octave)]);
            }
            Timed(event.rows, v_.notes[semitone], v_.timedNotes[semitone], event.slurIn);
        }
    }

private:
    void Keyword(const qzr::Keyword* keyword, bool slur = false) {
        out_.push_back({.keyword = keyword, .slur = slur});
    }

    template <typename Suffixed>
    void Timed(std::int32_t rows, const qzr::Keyword* bare, const Suffixed& suffixed, bool slur) {
        if (rows == defaultLength_) {
            Keyword(bare, slur);
            return;
        }
        if (rows < static_cast<std::int32_t>(v_.suffixOfRows.size())) {
            if (const int s = v_.suffixOfRows[static_cast<std::size_t>(rows)]; s >= 0) {
                Keyword(suffixed[static_cast<std::size_t>(s)], slur);
                return;
            }
        }
        out_.push_back({.keyword = nullptr, .freeLength = rows});
        defaultLength_ = rows;
        Keyword(bare, slur);
    }

    const Vocabulary& v_;
    std::vector<ClassicLine>& out_;
    // What the classic compiler holds when its body starts.
    int octave_ = CompilerState{}.octave;
    std::int32_t defaultLength_ = CompilerState{}.defaultLength;
    bool legato_ = CompilerState{}.legato;
};

// Reads the voice files a program names, into its definitions, reporting what cannot be read.
void LoadVoiceFiles(Program& program, const Options& options, Report& report,
                    std::vector<std::filesystem::path>& opened) {
    for (VoiceDefinition& voice : program.voices) {
        if (voice.file.empty()) continue;
        const std::filesystem::path path =
            voice.file.is_absolute() ? voice.file : options.baseFolder / voice.file;
        opened.push_back(path);
        const VoiceFileRead read = options.readVoice(path);
        const std::string name = "'" + voice.file.string() + "'";
        switch (read.status) {
            case VoiceFileRead::Status::Missing:
                report.Error(voice.at, "cannot read voice file " + name +
                                           " (paths are relative to the source's folder)");
                break;
            case VoiceFileRead::Status::Directory:
                report.Error(voice.at, "voice file " + name + " is a directory");
                break;
            case VoiceFileRead::Status::NotRegular:
                report.Error(voice.at, "voice file " + name + " is not a regular file");
                break;
            case VoiceFileRead::Status::Read:
                if (read.bytes.size() < voice.bytes.size()) {
                    report.Warning(voice.at, "voice file " + name + " has " +
                                                 std::to_string(read.bytes.size()) +
                                                 " bytes, not " + std::to_string(kVoiceFileBytes) +
                                                 "; the missing ones count as 0");
                }
                std::copy_n(read.bytes.begin(), std::min(read.bytes.size(), voice.bytes.size()),
                            voice.bytes.begin());
                voice.usable = true;
                break;
        }
    }
}

class Compilation {
public:
    Compilation(const Options& options, Result& result) : options_(options), result_(result) {}

    void Run(std::span<const std::uint8_t> source) {
        if (source.size() > kMaxSourceBytes) {
            report_.Error({0, 0}, "the source is " +
                                      Grouped(static_cast<std::int64_t>(source.size())) +
                                      " bytes; a source holds at most " +
                                      Grouped(static_cast<std::int64_t>(kMaxSourceBytes)));
            Finish();
            return;
        }
        Program program = ParseProgram(source, report_);
        const SongKind kind = ChooseKind(program);
        const SongTarget& target = TargetFor(kind);
        const std::int64_t capacity = PlayedRowLimit(kind);
        if (program.rows.value && *program.rows.value > capacity) {
            report_.Error(program.rows.at, "#rows " + Grouped(*program.rows.value) +
                                               " is more than the " + Grouped(capacity) +
                                               " rows an " + std::string(SongKindName(kind)) +
                                               " song can play");
        }
        LoadVoices(program);
        const std::int64_t barRows = program.bar.value.value_or(kDefaultBarRows);
        result_.barRows = barRows;
        const ExpansionTarget expansionTarget{.channelCount = target.channelCount,
                                              .capacityRows = capacity,
                                              .chipName = SongKindName(kind),
                                              .barRows = barRows};
        const Expansion expansion = Expand(program, expansionTarget, report_);
        CheckVoices(program, expansion);
        const std::int32_t rowCount = RowCount(program, expansion);
        CheckBars(expansion, barRows, report_);
        const int speed = Speed(program, kind);
        result_.slurs = expansion.slurs;
        result_.firstSlur = {expansion.firstSlur.line, expansion.firstSlur.column,
                             Severity::Warning, "'&' slurs notes"};
        if (report_.Errors() == 0) {
            Lower(program, expansion, kind, speed, rowCount);
            result_.song = BuildSong(result_.classic);
            if (options_.mapEvents) MapEvents(expansion, rowCount);
        }
        Finish();
    }

private:
    void Finish() {
        result_.diagnostics = report_.Sorted();
        result_.errors = report_.Errors();
        result_.warnings = report_.Warnings();
        result_.dropped = report_.Dropped();
    }

    SongKind ChooseKind(const Program& program) {
        const std::optional<SongKind> fromName = SongKindFromFileName(options_.sourceName);
        const std::optional<SongKind> fromChip =
            program.chip.value ? ParseSongKind(*program.chip.value) : std::nullopt;
        if (fromChip && fromName && *fromChip != *fromName) {
            report_.Error(program.chip.at, "#chip " + *program.chip.value + " differs from the " +
                                               std::string(SongKindName(*fromName)) +
                                               " that the file name says");
        }
        result_.kind = fromChip ? fromChip : fromName ? fromName : options_.kind;
        if (!result_.kind) {
            report_.Error({0, 0},
                          "the chip is not known: name the file NAME.opm.qmml or NAME.opn2.qmml, "
                          "or write #chip opm or #chip opn2");
            return SongKind::OPM;  // the music is still read, for its own errors
        }
        return *result_.kind;
    }

    void LoadVoices(Program& program) {
        LoadVoiceFiles(program, options_, report_, result_.voiceFiles);
    }

    const VoiceDefinition* FindVoice(const Program& program, int number) const {
        const auto it =
            std::find_if(program.voices.begin(), program.voices.end(),
                         [number](const VoiceDefinition& v) { return v.number == number; });
        return it == program.voices.end() ? nullptr : &*it;
    }

    void CheckVoices(const Program& program, const Expansion& expansion) {
        std::vector<bool> used(kMaxVoiceNumber + 1, false);
        for (const int number : expansion.voicesNamed)
            used[static_cast<std::size_t>(number)] = true;
        for (std::size_t c = 0; c < expansion.channels.size(); ++c) {
            const ChannelMusic& music = expansion.channels[c];
            const std::string channel = "ch" + std::to_string(c + 1);
            if (music.voice) {
                if (FindVoice(program, *music.voice) == nullptr) {
                    report_.Error(music.voiceAt,
                                  "voice @" + std::to_string(*music.voice) + " is not defined");
                }
            } else if (music.firstNote) {
                report_.Error(*music.firstNote,
                              channel + " plays notes but has no voice; give it one with @N");
            }
        }
        for (const VoiceDefinition& voice : program.voices) {
            if (!used[static_cast<std::size_t>(voice.number)]) {
                report_.Warning(voice.at, "voice @" + std::to_string(voice.number) +
                                              " is never used by a channel");
            }
        }
    }

    std::int32_t RowCount(const Program& program, const Expansion& expansion) {
        std::int64_t longest = 0;
        for (const ChannelMusic& music : expansion.channels)
            longest = std::max(longest, music.rows);
        if (program.rows.value) {
            for (std::size_t c = 0; c < expansion.channels.size(); ++c) {
                const ChannelMusic& music = expansion.channels[c];
                if (music.rows > *program.rows.value && !music.overflowed) {
                    report_.Warning(program.rows.at, "ch" + std::to_string(c + 1) +
                                                         " runs to row " + Grouped(music.rows) +
                                                         ", past #rows " +
                                                         Grouped(*program.rows.value) +
                                                         "; its rows after that never play");
                }
            }
            return static_cast<std::int32_t>(*program.rows.value);
        }
        if (longest == 0 && report_.Errors() == 0) {
            report_.Warning({0, 0}, "the song has no rows: it plays nothing");
        }
        return static_cast<std::int32_t>(std::min<std::int64_t>(longest, kMaxLengthRows));
    }

    int Speed(const Program& program, SongKind kind) {
        if (program.speed.value) return *program.speed.value;
        const std::int64_t tempo = program.tempoMilli.value.value_or(kDefaultTempoMilli);
        const auto speed = SpeedFor(kind, tempo);
        const std::string asked = Decimal(static_cast<double>(tempo) / 1000.0);
        if (!speed) {
            report_.Error(program.tempoMilli.at,
                          "#tempo " + asked + " is outside what speeds 1 to 255 play on " +
                              std::string(SongKindName(kind)) + ": " +
                              Decimal(TempoOf(kind, kHighestSpeed)) + " to " +
                              Decimal(TempoOf(kind, 1)) + " beats a minute");
            return 1;
        }
        if (!speed->exact && program.tempoMilli.value) {
            report_.Warning(program.tempoMilli.at,
                            "#tempo " + asked + " is not reached exactly: speed " +
                                std::to_string(speed->speed) + " plays " +
                                Decimal(TempoOf(kind, speed->speed)) + " beats a minute");
        }
        return speed->speed;
    }

    ClassicVoice VoiceFor(const Program& program, const ChannelMusic& music, int channel) {
        ClassicVoice voice;
        std::string stem = "voices/none";
        if (music.voice) {
            if (const VoiceDefinition* defined = FindVoice(program, *music.voice)) {
                voice.bytes = defined->bytes;
            }
            stem = "voices/voice" + std::to_string(*music.voice);
        }
        const Pan pan = music.pan.value_or(Pan::LR);
        switch (pan) {
            case Pan::LR:
                voice.panLine = "11";
                break;
            case Pan::L:
                voice.panLine = "10";
                break;
            case Pan::R:
                voice.panLine = "01";
                break;
            case Pan::Off: {
                // Pan lines can set the flags but never clear both again; the carry in the
                // control byte's sum can.
                std::uint8_t& fbConnection = voice.bytes[kVoiceFileBytes - 1];
                if (fbConnection >= 0x80) {
                    report_.Error(music.panAt, "pan off cannot be written for ch" +
                                                   std::to_string(channel + 1) +
                                                   ": its voice's feedback nibble is above 7");
                }
                voice.panLine = "11";
                fbConnection = static_cast<std::uint8_t>(fbConnection + kPanOffCarry);
                stem += "-off";
                break;
            }
        }
        // The bytes' hash in the name: lowering another song into the same folder never writes
        // different bytes under a name this song uses.
        voice.fileName = stem + "-" + HashText(voice.bytes) + ".voice";
        return voice;
    }

    void MapEvents(const Expansion& expansion, std::int32_t rowCount) {
        for (std::size_t c = 0; c < expansion.channels.size(); ++c) {
            std::int64_t row = 0;
            for (const Event& event : expansion.channels[c].events) {
                if (row >= rowCount) break;
                const std::int64_t rows = std::min<std::int64_t>(event.rows, rowCount - row);
                result_.events.push_back({.channel = static_cast<int>(c),
                                          .row = static_cast<std::int32_t>(row),
                                          .rows = static_cast<std::int32_t>(rows),
                                          .line = event.at.line,
                                          .column = event.at.column,
                                          .note = event.code != 0});
                row += event.rows;
            }
        }
    }

    void Lower(const Program& program, const Expansion& expansion, SongKind kind, int speed,
               std::int32_t rowCount) {
        ClassicSong& song = result_.classic;
        song.kind = kind;
        song.title = program.title.value.value_or("");
        song.speed = speed;
        song.rowCount = rowCount;
        for (std::size_t c = 0; c < expansion.channels.size(); ++c) {
            song.voices.push_back(VoiceFor(program, expansion.channels[c], static_cast<int>(c)));
        }
        Lowering lowering(kind, song.body);
        for (std::size_t c = 0; c < expansion.channels.size(); ++c) {
            if (!expansion.channels[c].events.empty()) {
                lowering.Channel(static_cast<int>(c), expansion.channels[c].events);
            }
        }
    }

    const Options& options_;
    Result& result_;
    Report report_;
};

}  // namespace

VoiceList ReadVoices(std::span<const std::uint8_t> source, const Options& options) {
    Report report;
    VoiceList list;
    if (source.size() > kMaxSourceBytes) {
        report.Error({0, 0}, "the source is larger than " +
                                 Grouped(static_cast<std::int64_t>(kMaxSourceBytes)) + " bytes");
    } else {
        Program program = ParseProgram(source, report);
        std::vector<std::filesystem::path> opened;
        LoadVoiceFiles(program, options, report, opened);
        for (const VoiceDefinition& voice : program.voices) {
            list.voices.push_back({.number = voice.number,
                                   .line = voice.at.line,
                                   .bytes = voice.bytes,
                                   .usable = voice.usable});
        }
    }
    list.diagnostics = report.Sorted();
    list.errors = report.Errors();
    return list;
}

VoiceFileRead ReadVoiceFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return {};
    if (std::filesystem::is_directory(status))
        return {.status = VoiceFileRead::Status::Directory, .bytes = {}};
    if (!std::filesystem::is_regular_file(status)) {
        return {.status = VoiceFileRead::Status::NotRegular, .bytes = {}};
    }
    auto bytes = ReadFileBytes(path, kVoiceFileBytes);
    if (!bytes) return {};
    return {.status = VoiceFileRead::Status::Read, .bytes = std::move(*bytes)};
}

Result Compile(std::span<const std::uint8_t> source, const Options& options) {
    Result result;
    Compilation(options, result).Run(source);
    return result;
}

Result CompileFile(const std::filesystem::path& sourcePath, Options options) {
    if (options.sourceName.empty()) options.sourceName = sourcePath.string();
    if (options.baseFolder.empty()) options.baseFolder = sourcePath.parent_path();
    if (options.baseFolder.empty()) options.baseFolder = ".";
    Result result;
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(sourcePath, ec);
    auto bytes = regular ? ReadFileBytes(sourcePath, kMaxSourceBytes + 1) : std::nullopt;
    if (!bytes) {
        result.errors = 1;
        result.unreadable = true;
        result.diagnostics.push_back(
            {0, 0, Severity::Error,
             "cannot read the source" + std::string(regular ? "" : " (not a regular file)")});
        return result;
    }
    return Compile(*bytes, options);
}

std::optional<SpeedForTempo> SpeedFor(SongKind kind, std::int64_t tempoMilli) {
    // speed = minute / (tempo x quarter at speed 1), in thousandths of a beat.
    const std::int64_t numerator = kMillisecondsPerMinute * 1000;
    const std::int64_t denominator = tempoMilli * QuarterMsAtSpeedOne(kind);
    if (tempoMilli <= 0 || denominator > numerator || denominator * kHighestSpeed < numerator) {
        return std::nullopt;
    }
    const std::int64_t below = numerator / denominator;
    const std::int64_t remainder = numerator % denominator;
    // Halfway goes to the slower speed, the larger number.
    const std::int64_t speed = 2 * remainder >= denominator ? below + 1 : below;
    return SpeedForTempo{
        .speed = static_cast<int>(std::clamp<std::int64_t>(speed, 1, kHighestSpeed)),
        .exact = remainder == 0};
}

double TempoOf(SongKind kind, int speed) {
    return static_cast<double>(kMillisecondsPerMinute) /
           static_cast<double>(QuarterMsAtSpeedOne(kind) * speed);
}

std::string FormatDiagnostic(std::string_view sourceName, const Diagnostic& diagnostic) {
    std::string text(sourceName);
    if (diagnostic.line > 0) {
        text += ":" + std::to_string(diagnostic.line) + ":" + std::to_string(diagnostic.column);
    }
    text += diagnostic.severity == Severity::Error ? ": error: " : ": warning: ";
    return text + diagnostic.message;
}

}  // namespace qzr::qmml
