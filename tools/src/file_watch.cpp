#include "qzr/tools/file_watch.h"

namespace qzr::tools {

void FileWatch::Watch(std::vector<std::filesystem::path> files) {
    files_ = std::move(files);
    stamps_.clear();
    for (const auto& file : files_) stamps_.push_back(StampOf(file));
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
