#pragma once

#include <cstdio>

namespace qzr::tools {

// A one-line bar redrawn in place, for terminals only; erased when destroyed.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* out) : out_(out) {}
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Show(double fraction);

private:
    std::FILE* out_;
    int shownPercent_ = -1;
};

}  // namespace qzr::tools
