#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "qzr/format/song_image.h"

namespace qzr::test {

// A voice with one carrier (C2) at the fundamental and the other slots silent: a plain sine
// wave, instant attack, no decay, fastest release.
void WriteSineVoice(const std::filesystem::path& path);

// An MML source: title, speed, row count, every voice `voice` panned to both sides, then the
// body lines.
std::string MakeSource(const std::string& title, int speed, int rowCount, SongKind kind,
                       const std::vector<std::string>& body,
                       const std::string& voice = "sine.voice");

// Compiles `source` (in `folder`, where its voice files are) with the compiler core and writes
// the song beside it as NAME.qzr; returns that path.
std::filesystem::path CompileInto(const std::filesystem::path& folder, const std::string& name,
                                  const std::string& source, SongKind kind);

// The built qzr.
std::string QzrPath();

// Frames of a decoded sound file; fails the test when it cannot be read.
std::vector<std::int16_t> DecodeSamples(const std::filesystem::path& path);

}  // namespace qzr::test
