#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "qzr/compiler/qmml_compile.h"

namespace qzr::tools {

// Whether a path names a qmml source (NAME.opm.qmml, NAME.opn2.qmml, or any NAME.qmml).
bool IsQmmlSource(const std::filesystem::path& path);

// SOURCE with ".qmml" replaced by ".qzr" (song.opm.qmml gives song.opm.qzr); any other name
// gets ".qzr" added.
std::filesystem::path DefaultBuildOutput(const std::filesystem::path& source);

// Every diagnostic as "SOURCE:LINE:COLUMN: error|warning: message" on `err`, and a last line
// counting those left out.
void PrintDiagnostics(const qmml::Result& result, const std::string& sourceName, std::FILE* err);

// `qzr check` for a qmml source: every error and warning on `err`. 0 clean, 1 findings, 2 the
// source cannot be read. `kind` stands in where neither #chip nor the name says the chip.
int RunQmmlCheck(const std::filesystem::path& source, std::optional<SongKind> kind, std::FILE* err);

// A qmml source built in memory, its report on `err`; nullopt when it has errors. For the
// subcommands that take a source where they take a song (info, play --watch).
std::optional<qmml::Result> BuildInMemory(const std::filesystem::path& source,
                                          std::optional<SongKind> kind, std::FILE* err);

// `qzr build`: the song file, replaced only when the whole build succeeds. Status 0 written
// (warnings or not), 1 the source has errors (nothing written), 2 the source cannot be read or
// the song cannot be written.
int RunBuild(const std::filesystem::path& source, const std::filesystem::path& output,
             std::FILE* out, std::FILE* err);

// `qzr lower`: the classic source (NAME.opm.mml for NAME.opm.qmml) and its voice files in
// `folder`, which opmcomp or opn2comp compile there to the same song. A slur has no classic
// form: it is written as legato and said so. Statuses as RunBuild.
int RunLower(const std::filesystem::path& source, const std::filesystem::path& folder,
             std::FILE* out, std::FILE* err);

}  // namespace qzr::tools
