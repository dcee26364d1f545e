#include "compiler_test_support.h"

#include <algorithm>

#include "qzr/test_support/file_bytes.h"

namespace qzr::test {

std::string SourceText(const SongTarget& target, const SourceSpec& spec) {
    std::string text;
    auto line = [&](const std::string& s) { text += s + spec.lineEnd; };
    line(spec.title);
    line(spec.speed);
    line(spec.rowCount);
    for (std::size_t v = 0; v < static_cast<std::size_t>(target.VoiceCount()); ++v) {
        line(v < spec.pans.size() ? spec.pans[v] : "11");
        line(v < spec.voices.size() ? spec.voices[v] : "plain.voice");
    }
    for (const auto& b : spec.body) line(b);
    return text;
}

Bytes PlainVoice() {
    Bytes voice;
    for (std::uint8_t i = 1; i <= 24; ++i) voice.push_back(i);
    voice.push_back(0x75);
    return voice;
}

CompilerFolder::CompilerFolder() : dir_("compiler") { WriteVoice("plain.voice", PlainVoice()); }

void CompilerFolder::WriteVoice(const std::string& name, const Bytes& bytes) const {
    WriteBytes(dir_.Path() / name, bytes);
}

void CompilerFolder::WriteSource(const std::string& name, const std::string& text) const {
    WriteText(dir_.Path() / name, text);
}

CompileResult CompilerFolder::Compile(const SongTarget& target, const std::string& text) const {
    const Bytes bytes(text.begin(), text.end());
    return CompileSource(bytes, target, dir_.Path());
}

CompileResult CompilerFolder::Compile(const SongTarget& target, const SourceSpec& spec) const {
    return Compile(target, SourceText(target, spec));
}

qmml::Result CompilerFolder::CompileQmml(const std::string& text, const std::string& name) const {
    const Bytes bytes(text.begin(), text.end());
    qmml::Options options;
    options.sourceName = name;
    options.baseFolder = dir_.Path();
    return qmml::Compile(bytes, options);
}

std::vector<std::string> DiagnosticLines(const qmml::Result& result, const std::string& name) {
    std::vector<std::string> lines;
    for (const auto& d : result.diagnostics) lines.push_back(qmml::FormatDiagnostic(name, d));
    return lines;
}

Bytes WithWrites(Bytes base, const std::map<std::size_t, std::uint8_t>& writes) {
    for (const auto& [at, value] : writes) {
        if (at >= base.size()) base.resize(at + 1, 0);
        base[at] = value;
    }
    return base;
}

std::vector<std::string> FolderListing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qzr::test
