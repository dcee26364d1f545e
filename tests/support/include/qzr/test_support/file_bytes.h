#pragma once

#include <filesystem>
#include <string>

#include "qzr/test_support/byte_diff.h"

namespace qzr::test {

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);

// Paths into the source tree, independent of the working directory.
std::filesystem::path SourcePath(const std::string& relative);

// True when golden files are to be rewritten (QZR_UPDATE_GOLDEN=1 in the environment).
bool UpdatingGolden();

}  // namespace qzr::test
