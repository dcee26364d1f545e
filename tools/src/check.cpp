#include "qzr/tools/check.h"

#include <algorithm>
#include <map>
#include <optional>

#include "qzr/common/file_reading.h"
#include "qzr/common/to_integer.h"
#include "qzr/compiler/compile_song.h"
#include "qzr/compiler/source_lines.h"
#include "qzr/format/song_image.h"

namespace qzr::tools {
namespace {

constexpr int kLowestOctave = 0;
constexpr int kHighestOctave = 7;

std::vector<std::string_view> SplitLines(std::span<const std::uint8_t> source) {
    std::vector<std::string_view> lines;
    SourceLines reader(source);
    while (!reader.AtEnd()) lines.push_back(reader.Next());
    return lines;
}

std::string_view LineAt(const std::vector<std::string_view>& lines, int number) {
    const auto index = static_cast<std::size_t>(number - 1);
    return index < lines.size() ? lines[index] : std::string_view{};
}

std::int32_t NumberOf(std::string_view line) { return ToInteger(std::string(line).c_str()); }

std::filesystem::path ResolveVoice(const std::string& path, const std::filesystem::path& base) {
    const std::filesystem::path filePath(path);
    return filePath.is_absolute() || path.empty() ? filePath : base / filePath;
}

// The row count the player plays, from the header bytes the compiler wrote.
int PlayedRowCount(const std::vector<std::uint8_t>& song, const SongTarget& target) {
    return SongImage(KindOf(target), song).RowCount();
}

class Checker {
public:
    Checker(const SongTarget& target, std::vector<Diagnostic>& out) : target_(target), out_(out) {}

    void Header(const std::vector<std::string_view>& lines, const CompileResult& compiled) {
        const std::string_view title = LineAt(lines, 1);
        if (title.size() > kTitleSize) {
            Warn(1, kTitleSize + 1,
                 "the title is " + std::to_string(title.size()) + " bytes; only the first " +
                     std::to_string(kTitleSize) + " are kept");
        }
        const std::int32_t speed = NumberOf(LineAt(lines, 2));
        if (speed == 0) {
            Warn(2, 1, "speed 0: no row ever plays and the song never loops");
        } else if (speed < 0 || speed > 255) {
            Warn(2, 1,
                 "speed " + std::to_string(speed) + " does not fit a byte; it is stored as " +
                     std::to_string(speed & 0xFF) +
                     ((speed & 0xFF) == 0 ? ", and at 0 no row ever plays" : ""));
        }
        rowCount_ = PlayedRowCount(compiled.song, target_);
        const std::int32_t declared = NumberOf(LineAt(lines, 3));
        if (declared < 0 || declared >= kRowLimit) {
            Warn(3, 1,
                 "row count " + std::to_string(declared) +
                     " does not fit 16 bits; the player reads it as " + std::to_string(rowCount_));
        } else if (declared == 0) {
            Warn(3, 1, "row count 0: the song has no rows and never plays");
        } else if (declared != rowCount_) {
            Warn(3, 1,
                 "row count " + std::to_string(declared) + " is beyond the " +
                     std::to_string(rowCount_) + " rows the player holds; it loops after them");
        }
    }

    void Voices(const std::vector<std::string_view>& lines, const std::filesystem::path& base,
                const std::filesystem::path& sourceFolder) {
        const int needed = target_.FirstBodyLine() - 1;
        if (static_cast<int>(lines.size()) < needed) {
            Warn(static_cast<int>(lines.size()) + 1, 1,
                 "the source ends before its header and voice lines are complete (" +
                     std::to_string(needed) + " lines are needed)");
            return;
        }
        bool anyPan = false;
        for (int v = 0; v < target_.VoiceCount(); ++v) {
            const int panLine = 4 + 2 * v;
            const std::string_view pan = LineAt(lines, panLine);
            if (pan != "11" && pan != "10" && pan != "01") {
                Warn(panLine, 1,
                     "pan '" + std::string(pan) + "' is not 11, 10 or 01; ch" +
                         std::to_string(v + 1) +
                         (anyPan ? " keeps the pan of the voice before"
                                 : " gets no pan and is silent"));
            } else {
                anyPan = true;
            }
            const std::string path(LineAt(lines, panLine + 1));
            const auto bytes = ReadFileBytes(ResolveVoice(path, base), kVoiceFileBytes);
            if (!bytes) {
                // The compiler opens voice paths from the folder it runs in, not the source's.
                const bool besideSource =
                    !path.empty() && !std::filesystem::path(path).is_absolute() &&
                    ReadFileBytes(ResolveVoice(path, sourceFolder), kVoiceFileBytes).has_value();
                Warn(panLine + 1, 1,
                     "cannot read voice file '" + path + "'; the compiler stops here" +
                         (besideSource ? " (voice paths open from the folder the compiler runs "
                                         "in; this one opens from the source's folder, so run "
                                         "the compiler there)"
                                       : ""));
                missingVoiceLines_.push_back(panLine + 1);
            } else if (bytes->size() < kVoiceFileBytes) {
                Warn(panLine + 1, 1,
                     "voice file '" + path + "' has " + std::to_string(bytes->size()) +
                         " bytes, not " + std::to_string(kVoiceFileBytes) +
                         "; the missing ones count as 0");
            }
        }
    }
    const std::vector<int>& MissingVoiceLines() const { return missingVoiceLines_; }

    void BodyLine(const BodyLineReport& report) {
        if (report.setsFreeLength ||
            (report.keyword != nullptr && report.keyword->kind == KeywordKind::DefaultLength)) {
            EndLengthCause();
            if (report.stateAfter.defaultLength < 1) {
                lengthCause_ = Cause{report.lineNumber, report.stateAfter.defaultLength};
            }
        }
        if (report.keyword != nullptr && (report.keyword->kind == KeywordKind::OctaveUp ||
                                          report.keyword->kind == KeywordKind::OctaveDown ||
                                          report.keyword->kind == KeywordKind::Octave)) {
            EndOctaveCause();
            const std::int32_t octave = report.stateAfter.octave;
            if (octave < kLowestOctave || octave > kHighestOctave) {
                octaveCause_ = Cause{report.lineNumber, octave};
            }
        }
        if (report.keyword == nullptr) {
            UnknownOrLengthLine(report);
            return;
        }
        switch (report.keyword->kind) {
            case KeywordKind::Channel:
                EndSection();
                channel_ = report.keyword->value;
                sectionLine_ = report.lineNumber;
                pastEndWarned_ = false;
                break;
            case KeywordKind::Note:
            case KeywordKind::Rest:
                TimedLine(report);
                break;
            default:
                break;
        }
        sectionEnd_ = report.stateAfter.row;
    }

    void Finish() {
        EndSection();
        EndLengthCause();
        EndOctaveCause();
        for (const auto& [text, group] : unknown_) {
            if (group.lines.size() < 2) continue;
            std::string& message = out_[group.diagnostic].message;
            message += " (also on line" + std::string(group.lines.size() > 2 ? "s " : " ");
            constexpr std::size_t kListed = 3;
            for (std::size_t i = 1; i < group.lines.size() && i <= kListed; ++i) {
                if (i > 1) message += ", ";
                message += std::to_string(group.lines[i]);
            }
            if (group.lines.size() - 1 > kListed) {
                message += " and " + std::to_string(group.lines.size() - 1 - kListed) + " more";
            }
            message += ")";
        }
    }

private:
    void Warn(int line, int column, std::string message) {
        out_.push_back({line, column, std::move(message)});
    }

    // A state that makes later notes go wrong: reported once, at the line that set it, with
    // the notes it spoils counted.
    struct Cause {
        int line = 0;
        std::int32_t value = 0;
        int notes = 0;
        int firstNote = 0;
        int lastNote = 0;
        void Count(int noteLine) {
            if (notes++ == 0) firstNote = noteLine;
            lastNote = noteLine;
        }
        std::string Lines() const {
            return firstNote == lastNote
                       ? "line " + std::to_string(firstNote)
                       : "lines " + std::to_string(firstNote) + " to " + std::to_string(lastNote);
        }
    };

    void EndLengthCause() {
        if (!lengthCause_) return;
        const Cause& cause = *lengthCause_;
        Warn(cause.line, 1,
             "default length " + std::to_string(cause.value) + " is below 1 row; " +
                 (cause.notes == 0 ? std::string("notes after it would not move on")
                  : cause.notes == 1
                      ? "the note or rest using it (" + cause.Lines() + ") does not move on"
                      : "the " + std::to_string(cause.notes) + " notes and rests using it (" +
                            cause.Lines() + ") do not move on"));
        lengthCause_.reset();
    }

    void EndOctaveCause() {
        if (!octaveCause_) return;
        const Cause& cause = *octaveCause_;
        if (cause.notes > 0) {
            Warn(cause.line, 1,
                 "octave " + std::to_string(cause.value) + " is outside octaves 0 to 7: " +
                     (cause.notes == 1
                          ? "the note in it (" + cause.Lines() + ") does not sound as written"
                          : "the " + std::to_string(cause.notes) + " notes in it (" +
                                cause.Lines() + ") do not sound as written"));
        }
        octaveCause_.reset();
    }

    void UnknownOrLengthLine(const BodyLineReport& report) {
        if (report.setsFreeLength) return;
        const std::string_view text = report.text;
        if (text.find_first_not_of(" \t") == std::string_view::npos) return;  // blank lines
        // The same slip on many lines is one warning, with the other lines listed.
        auto [group, added] = unknown_.try_emplace(std::string(text));
        group->second.lines.push_back(report.lineNumber);
        if (!added) return;
        group->second.diagnostic = out_.size();
        std::string message = "'" + std::string(text) + "' matches no keyword and is ignored";
        if (const std::string hint = SuggestKeyword(text, target_); !hint.empty()) {
            message += "; " + hint;
        }
        Warn(report.lineNumber, 1, std::move(message));
    }

    void TimedLine(const BodyLineReport& report) {
        const Keyword& keyword = *report.keyword;
        const std::int32_t length =
            keyword.rows != 0 ? keyword.rows : report.stateAfter.defaultLength;
        const bool isNote = keyword.kind == KeywordKind::Note;
        if (length < 1) {
            if (keyword.rows == 0 && lengthCause_) {
                lengthCause_->Count(report.lineNumber);
            } else {
                Warn(report.lineNumber, 1,
                     std::string(isNote ? "note" : "rest") + " length " + std::to_string(length) +
                         " is below 1 row");
            }
        }
        if (!isNote) return;
        const std::int32_t octave = report.stateAfter.octave;
        if (octave < kLowestOctave || octave > kHighestOctave) {
            if (!octaveCause_) octaveCause_ = Cause{report.lineNumber, octave};
            octaveCause_->Count(report.lineNumber);
        }
        if (report.rowBefore >= rowCount_ && !pastEndWarned_) {
            pastEndWarned_ = true;
            Warn(report.lineNumber, 1,
                 "note at row " + std::to_string(report.rowBefore) + " lies past the row count " +
                     std::to_string(rowCount_) + " and never plays");
        }
    }

    void EndSection() {
        if (sectionEnd_ != 0 && sectionEnd_ != rowCount_) {
            Warn(sectionLine_, 1,
                 "ch" + std::to_string(channel_ + 1) + " ends at row " +
                     std::to_string(sectionEnd_) + ", but the song loops at row " +
                     std::to_string(rowCount_));
        }
        sectionEnd_ = 0;
    }

    const SongTarget& target_;
    std::vector<Diagnostic>& out_;
    std::vector<int> missingVoiceLines_;
    std::optional<Cause> lengthCause_;
    std::optional<Cause> octaveCause_;
    struct UnknownGroup {
        std::size_t diagnostic = 0;
        std::vector<int> lines;
    };
    std::map<std::string, UnknownGroup> unknown_;
    int rowCount_ = 0;
    int channel_ = 0;
    int sectionLine_ = 1;
    std::int64_t sectionEnd_ = 0;
    bool pastEndWarned_ = false;
};

}  // namespace

std::vector<Diagnostic> CheckSource(std::span<const std::uint8_t> source, const SongTarget& target,
                                    const std::filesystem::path& baseFolder,
                                    const std::filesystem::path& sourcePath) {
    std::vector<Diagnostic> found;
    Checker checker(target, found);
    std::vector<std::string_view> lines = SplitLines(source);
    checker.Voices(lines, baseFolder, sourcePath.parent_path());

    // A missing voice stops the compiler; a readable stand-in lets the body be checked anyway.
    const std::string standIn = std::filesystem::absolute(sourcePath).string();
    for (const int line : checker.MissingVoiceLines()) {
        const auto index = static_cast<std::size_t>(line - 1);
        if (index < lines.size()) lines[index] = standIn;
    }
    std::string patched;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) patched += '\n';
        patched += lines[i];
    }
    const std::span<const std::uint8_t> patchedBytes(
        reinterpret_cast<const std::uint8_t*>(patched.data()), patched.size());

    CompileResult header = CompileSource(patchedBytes, target, baseFolder);
    std::vector<Diagnostic> voiceFindings;
    voiceFindings.swap(found);
    checker.Header(lines, header);
    found.insert(found.end(), voiceFindings.begin(), voiceFindings.end());
    CompileSource(patchedBytes, target, baseFolder,
                  [&checker](const BodyLineReport& report) { checker.BodyLine(report); });
    checker.Finish();
    std::stable_sort(found.begin(), found.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    return found;
}

std::string FormatDiagnostic(std::string_view sourceName, const Diagnostic& diagnostic) {
    return std::string(sourceName) + ":" + std::to_string(diagnostic.line) + ":" +
           std::to_string(diagnostic.column) + ": warning: " + diagnostic.message;
}

int RunCheck(const std::filesystem::path& source, const SongTarget& target, std::FILE* err) {
    const auto bytes = ReadWholeFile(source);
    if (!bytes) {
        std::fprintf(err, "qzr: cannot read %s\n", source.string().c_str());
        return 2;
    }
    const auto found = CheckSource(*bytes, target, std::filesystem::current_path(), source);
    for (const Diagnostic& d : found) {
        std::fprintf(err, "%s\n", FormatDiagnostic(source.string(), d).c_str());
    }
    return found.empty() ? 0 : 1;
}

}  // namespace qzr::tools
