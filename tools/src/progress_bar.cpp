#include "progress_bar.h"

#include <algorithm>
#include <string>

namespace qzr::tools {
namespace {

constexpr int kWidth = 40;

}  // namespace

ProgressBar::~ProgressBar() {
    if (shownPercent_ >= 0) std::fputs("\r\033[K", out_);
}

void ProgressBar::Show(double fraction) {
    const int percent = std::clamp(static_cast<int>(fraction * 100.0), 0, 100);
    // Redrawing only when the figure changes keeps a fast render from spending time on output.
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(out_, "\rrendering [%s] %3d%%", bar.c_str(), percent);
    std::fflush(out_);
}

}  // namespace qzr::tools
