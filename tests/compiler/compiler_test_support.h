#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "qzr/compiler/compile_song.h"
#include "qzr/compiler/qmml_compile.h"
#include "qzr/format/song_target.h"
#include "qzr/test_support/byte_diff.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {

// A source: three header lines, a pan line and a voice path per voice, then the body lines.
struct SourceSpec {
    std::string title = "test";
    std::string speed = "6";
    std::string rowCount = "256";
    std::vector<std::string> pans{};    // one per voice; missing ones read "11"
    std::vector<std::string> voices{};  // one per voice; missing ones read "plain.voice"
    std::vector<std::string> body{};
    std::string lineEnd = "\n";
};

std::string SourceText(const SongTarget& target, const SourceSpec& spec);

// A folder with the voice files the tests name: plain.voice (25 bytes: 1..24, then 0x75).
class CompilerFolder {
public:
    CompilerFolder();
    const std::filesystem::path& Path() const { return dir_.Path(); }
    void WriteVoice(const std::string& name, const Bytes& bytes) const;
    void WriteSource(const std::string& name, const std::string& text) const;

    CompileResult Compile(const SongTarget& target, const std::string& text) const;
    CompileResult Compile(const SongTarget& target, const SourceSpec& spec) const;
    // A qmml source compiled as if it were the file `name` in this folder.
    qmml::Result CompileQmml(const std::string& text, const std::string& name = "t.opm.qmml") const;

private:
    TempDir dir_;
};

Bytes PlainVoice();

// The diagnostics as qzr build prints them, one string each.
std::vector<std::string> DiagnosticLines(const qmml::Result& result,
                                         const std::string& name = "t.opm.qmml");

// The bytes of the header-only song with the given writes applied on top, as positioned writes
// to a file would leave them.
Bytes WithWrites(Bytes base, const std::map<std::size_t, std::uint8_t>& writes);

// Names in the folder, sorted.
std::vector<std::string> FolderListing(const std::filesystem::path& folder);

}  // namespace qzr::test
