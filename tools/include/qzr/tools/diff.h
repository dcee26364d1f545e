#pragma once

#include <cstdio>
#include <string>

#include "qzr/format/song_image.h"

namespace qzr::tools {

// How two songs differ, each read with its own chip's layout: the chips when they differ, header
// fields (title, the voices both hold, speed, row count), then the first row and channel (of those
// both chips have) whose events differ, named as a tracker shows them ("C-4 on vs D-4 on"), how
// many events differ, and for songs of one chip how many bytes differ in all (bytes past the end of
// the shorter file count as differing). Empty when the songs are equal.
std::string DescribeDifferences(const SongImage& a, const SongImage& b);

struct DiffInput {
    std::string path;
    SongKind kind = SongKind::OPM;
};

// `qzr diff`: as cmp, 0 equal, 1 different, 2 when a file cannot be read.
int RunDiff(const DiffInput& a, const DiffInput& b, std::FILE* out, std::FILE* err);

}  // namespace qzr::tools
