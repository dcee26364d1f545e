#pragma once

#include <cstdio>
#include <string>

#include "qzr/tools/song_view.h"

namespace qzr::tools {

// How two songs of one chip differ: header fields first (title, voices, speed, row count), then
// the first row, channel and byte where the rows differ, and how many bytes differ in all (bytes
// past the end of the shorter file count as differing). Empty when the files are equal.
std::string DescribeDifferences(const SongView& a, const SongView& b);

// `qzr diff`: as cmp, 0 equal, 1 different, 2 when a file cannot be read.
int RunDiff(const std::string& a, const std::string& b, Chip chip, std::FILE* out, std::FILE* err);

}  // namespace qzr::tools
