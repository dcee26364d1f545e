#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "qzr/compiler/qmml_compile.h"
#include "qzr/format/song_kind.h"

namespace qzr::studio {

// A classic source (one token a line, compiled as opmcomp and opn2comp compile it), given in the
// shape of a qmml compile so the studio treats both alike: the song, the events mapped to their
// lines, and what `qzr check` finds as warnings (a voice file that cannot be read is an error).
// Voice paths resolve against `folder`; `sourcePath` is the file the text was read from, if any.
qmml::Result CompileClassic(std::span<const std::uint8_t> source, SongKind kind,
                            const std::filesystem::path& folder,
                            const std::filesystem::path& sourcePath);

// The chip of a classic source by its name ("song.opm.mml"); nullopt for a qmml source (".qmml")
// or a name that says no chip.
std::optional<SongKind> ClassicKindOf(const std::filesystem::path& name);

// The lines before the body: the title, speed and row count, then a pan and a voice path for
// each voice.
int ClassicHeaderLines(SongKind kind);

}  // namespace qzr::studio
