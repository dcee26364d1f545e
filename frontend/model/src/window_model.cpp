#include "qzr/frontend/window_model.h"

namespace qzr::frontend {

std::string PlayingStatusHead(std::string_view fileName) {
    return "Playing " + std::string(fileName);
}

std::string PlayingStatusTail(int row) { return ", row " + std::to_string(row); }

std::string TooLongPathMessage(std::string_view shownPrefix) {
    return "The path is too long to play: " + std::string(shownPrefix) + "...";
}

std::string CannotOpenMessage(std::string_view path) {
    return "Can't open file " + std::string(path);
}

Point CentredTopLeft(int areaLeft, int areaTop, int areaWidth, int areaHeight, int width,
                     int height) {
    return {areaLeft + (areaWidth - width) / 2, areaTop + (areaHeight - height) / 2};
}

}  // namespace qzr::frontend
