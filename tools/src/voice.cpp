#include "qzr/tools/voice.h"

#include <cmath>
#include <random>
#include <system_error>
#include <vector>

#include "qzr/common/file_reading.h"
#include "qzr/compiler/qmml_compile.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/compiler/song_file_writer.h"
#include "qzr/format/player_timing.h"
#include "qzr/tools/build.h"
#include "qzr/tools/render.h"

namespace qzr::tools {

namespace {

constexpr int kAuditionSpeed = 1;  // a row every tick, so the note's length is exact to 5 ms
constexpr double kLongestAudition = 240.0;

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct NamedVoice {
    int number = 1;
    qmml::VoiceBytes bytes{};
};

std::optional<NamedVoice> LoadVoice(const VoiceOptions& options, bool oneNeeded,
                                    std::vector<NamedVoice>& all, std::FILE* err) {
    const std::string name = options.file.string();
    if (EndsWith(name, ".voice")) {
        const auto bytes = ReadFileBytes(options.file, kVoiceFileBytes);
        std::error_code ec;
        if (!bytes || std::filesystem::is_directory(options.file, ec)) {
            std::fprintf(err, "qzr: cannot read %s\n", name.c_str());
            return std::nullopt;
        }
        if (bytes->size() < kVoiceFileBytes) {
            std::fprintf(err, "qzr: %s: warning: %zu bytes, not %d; the missing ones count as 0\n",
                         name.c_str(), bytes->size(), kVoiceFileBytes);
        }
        NamedVoice voice;
        std::copy(bytes->begin(), bytes->end(), voice.bytes.begin());
        all.push_back(voice);
        return voice;
    }
    std::error_code ec;
    const auto text = std::filesystem::is_regular_file(options.file, ec)
                          ? ReadFileBytes(options.file, qmml::kMaxSourceBytes)
                          : std::nullopt;
    if (!text) {
        std::fprintf(err, "qzr: cannot read %s\n", name.c_str());
        return std::nullopt;
    }
    qmml::Options compile;
    compile.sourceName = name;
    compile.baseFolder = options.file.parent_path().empty() ? "." : options.file.parent_path();
    const qmml::VoiceList list = qmml::ReadVoices(*text, compile);
    for (const qmml::Diagnostic& d : list.diagnostics) {
        std::fprintf(err, "%s\n", qmml::FormatDiagnostic(name, d).c_str());
    }
    for (const qmml::DefinedVoice& v : list.voices) {
        if ((!options.number || *options.number == v.number) && v.usable) {
            all.push_back({v.number, v.bytes});
        }
    }
    if (all.empty()) {
        if (options.number) {
            std::fprintf(err, "qzr: %s defines no usable voice @%d\n", name.c_str(),
                         *options.number);
        } else {
            std::fprintf(err, "qzr: %s defines no usable voice\n", name.c_str());
        }
        return std::nullopt;
    }
    if (oneNeeded && all.size() > 1) {
        std::fprintf(err, "qzr: %s defines %zu voices; name one with --voice N\n", name.c_str(),
                     all.size());
        return std::nullopt;
    }
    return all.front();
}

// A note "oNx" with an optional + - or =: what the audition plays.
bool IsSimpleNote(const std::string& note) {
    if (note.size() < 3 || note.size() > 4 || note[0] != 'o' || note[1] < '0' || note[1] > '7') {
        return false;
    }
    if (std::string_view("cdefgab").find(note[2]) == std::string_view::npos) return false;
    return note.size() == 3 || note[3] == '+' || note[3] == '-' || note[3] == '=';
}

// The song exists as a file only while the player reads it.
class TempFile {
public:
    TempFile()
        : path_(std::filesystem::temp_directory_path() /
                ("qzr-voice-" + std::to_string(std::random_device{}()) + ".opm.qzr")) {}
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

int Audition(const VoiceOptions& options, const NamedVoice& voice, std::FILE* out, std::FILE* err) {
    if (!IsSimpleNote(options.note)) {
        std::fprintf(err, "qzr: --note takes an octave and a note, such as o4a or o3c+\n");
        return 2;
    }
    if (!(options.seconds > 0) || options.seconds > kLongestAudition) {
        std::fprintf(err, "qzr: --seconds takes a length up to %.0f s\n", kLongestAudition);
        return 2;
    }
    const auto rows = std::max<long long>(
        1, std::llround(options.seconds * 1000.0 / (kTickPeriodMs * kAuditionSpeed)));
    // The voice goes in as its parameters: bits outside every field, which the chip ignores
    // anyway, are left out.
    const std::string source = "#title audition\n#speed " + std::to_string(kAuditionSpeed) +
                               "\n@1 {\n" + qmml::FormatVoiceText(qmml::DecodeVoice(voice.bytes)) +
                               "}\n" + "ch1 @1 " + options.note + "%" + std::to_string(rows) + "\n";
    qmml::Options compile;
    compile.sourceName = "audition.opm.qmml";
    const qmml::Result song = qmml::Compile(
        std::span(reinterpret_cast<const std::uint8_t*>(source.data()), source.size()), compile);
    if (!song.Ok()) {
        PrintDiagnostics(song, "audition", err);
        return 2;
    }
    const TempFile file;
    SongFileWriter writer(file.Path());
    if (!writer.Open() || !writer.Commit(song.song)) {
        std::fprintf(err, "qzr: cannot write %s\n", file.Path().string().c_str());
        return 1;
    }
    RenderOptions render;
    render.song = file.Path();
    render.kind = SongKind::OPM;
    render.output = options.output.string();
    return RunRender(render, out, err);
}

}  // namespace

int RunVoice(const VoiceOptions& options, std::FILE* out, std::FILE* err) {
    const std::string output = options.output.string();
    std::vector<NamedVoice> all;
    const auto voice = LoadVoice(options, !output.empty(), all, err);
    if (!voice) return 2;
    if (output.empty()) {
        for (const NamedVoice& v : all) {
            bool exact = true;
            const qmml::VoiceParameters parameters = qmml::DecodeVoice(v.bytes, &exact);
            std::fprintf(out, "@%d {\n%s}\n", v.number, qmml::FormatVoiceText(parameters).c_str());
            if (!exact) {
                std::fprintf(err,
                             "qzr: @%d: warning: bits outside the voice's fields are not shown "
                             "(the chip does not read them)\n",
                             v.number);
            }
        }
        return 0;
    }
    if (EndsWith(output, ".voice")) {
        SongFileWriter writer(options.output);
        if (!writer.Open() || !writer.Commit(voice->bytes)) {
            std::fprintf(err, "qzr: cannot write %s\n", output.c_str());
            return 1;
        }
        return 0;
    }
    return Audition(options, *voice, out, err);
}

}  // namespace qzr::tools
