#include "qzr/studio/event_map.h"

#include <algorithm>

namespace qzr::studio {

std::optional<int> RowAtCursor(const std::vector<qmml::MappedEvent>& events, SourcePlace cursor) {
    const qmml::MappedEvent* chosen = nullptr;
    const qmml::MappedEvent* firstOnLine = nullptr;
    for (const qmml::MappedEvent& event : events) {
        if (event.line != cursor.line) continue;
        const auto earlier = [](const qmml::MappedEvent* a, const qmml::MappedEvent& b) {
            return a == nullptr || b.column < a->column ||
                   (b.column == a->column && b.row < a->row);
        };
        if (earlier(firstOnLine, event)) firstOnLine = &event;
        if (event.column > cursor.column) continue;
        if (chosen == nullptr || event.column > chosen->column ||
            (event.column == chosen->column && event.row < chosen->row)) {
            chosen = &event;
        }
    }
    if (chosen == nullptr) chosen = firstOnLine;
    if (chosen == nullptr) return std::nullopt;
    return chosen->row;
}

std::vector<SourcePlace> TokensPlayingAt(const std::vector<qmml::MappedEvent>& events, int row) {
    std::vector<SourcePlace> places;
    for (const qmml::MappedEvent& event : events) {
        if (event.row <= row && row < event.row + event.rows) {
            places.push_back({event.line, event.column});
        }
    }
    return places;
}

}  // namespace qzr::studio
