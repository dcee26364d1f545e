#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "qzr/tools/file_watch.h"

namespace qzr::tools {

FileWatch::Stamp FileWatch::StampOf(const std::filesystem::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return {};
    Stamp stamp;
    stamp.exists = true;
    stamp.time =
        static_cast<std::int64_t>(std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                  data.ftLastWriteTime.dwLowDateTime);
    stamp.size = std::uintmax_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    return stamp;
}

}  // namespace qzr::tools
