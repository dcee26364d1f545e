#include "qzr/tools/file_watch.h"

namespace qzr::tools {

FileWatch::Stamp FileWatch::StampOf(const std::filesystem::path& file) {
    std::error_code ec;
    Stamp stamp;
    const auto time = std::filesystem::last_write_time(file, ec);
    if (ec) return {};
    stamp.time = static_cast<std::int64_t>(time.time_since_epoch().count());
    stamp.size = std::filesystem::file_size(file, ec);
    stamp.exists = !ec;
    return stamp;
}

}  // namespace qzr::tools
