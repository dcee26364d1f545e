#pragma once

#include <cstdio>
#include <string>

#include "qzr/format/song_image.h"

namespace qzr::tools {

// How two songs of one chip differ: header fields first (title, voices, speed, row count), then
// the first row, channel and byte where the rows differ, and how many bytes differ in all (bytes
// past the end of the shorter file count as differing). Empty when the files are equal.
std::string DescribeDifferences(const SongImage& a, const SongImage& b);

// `qzr diff`: as cmp, 0 equal, 1 different, 2 when a file cannot be read.
int RunDiff(const std::string& a, const std::string& b, SongKind kind, std::FILE* out,
            std::FILE* err);

}  // namespace qzr::tools
