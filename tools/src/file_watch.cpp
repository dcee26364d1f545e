#include "qzr/tools/file_watch.h"

#include <algorithm>

namespace qzr::tools {

void FileWatch::Watch(std::vector<std::filesystem::path> files) {
    // A file watched already keeps its stamp, taken when it was last seen changed, before the
    // compile read it: a save that lands while the compile reads is a change at the next look,
    // not an edit lost (the compile may have read half of it).
    std::vector<Stamp> stamps;
    stamps.reserve(files.size());
    for (const auto& file : files) {
        const auto known = std::find(files_.begin(), files_.end(), file);
        stamps.push_back(known != files_.end()
                             ? stamps_[static_cast<std::size_t>(known - files_.begin())]
                             : StampOf(file));
    }
    files_ = std::move(files);
    stamps_ = std::move(stamps);
}

bool FileWatch::Changed() {
    bool changed = false;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const Stamp now = StampOf(files_[i]);
        if (!(now == stamps_[i])) {
            stamps_[i] = now;
            changed = true;
        }
    }
    return changed;
}

}  // namespace qzr::tools
