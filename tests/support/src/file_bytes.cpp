#include "qzr/test_support/file_bytes.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qzr::test {

Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::filesystem::path& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::filesystem::path SourcePath(const std::string& relative) {
    return std::filesystem::path(QZR_TEST_SOURCE_DIR) / relative;
}

bool UpdatingGolden() {
    const char* flag = std::getenv("QZR_UPDATE_GOLDEN");
    return flag != nullptr && std::string(flag) == "1";
}

}  // namespace qzr::test
