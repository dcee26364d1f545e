#pragma once

#include <QTableWidget>
#include <optional>

#include "qzr/format/song_image.h"

namespace qzr::studio {

// The rows around the row playing, one column per channel, as a tracker shows them ("C-4 on",
// "... off"); the row playing is selected, so a screen reader reads it out.
class TrackerView final : public QTableWidget {
public:
    static constexpr int kRowsBefore = 4;
    static constexpr int kRowsShown = 16;

    explicit TrackerView(QWidget* parent = nullptr);

    void SetSong(std::optional<SongImage> song);
    // Shows the rows from kRowsBefore above `row`; nothing changes when the row is the same.
    void ShowRow(int row);
    int ShownRow() const { return shownRow_; }
    // The text of a cell: the song's row `row` (its own number) in channel `channel`.
    QString CellText(int row, int channel) const;

private:
    void Fill();

    std::optional<SongImage> song_;
    int shownRow_ = -1;
};

}  // namespace qzr::studio
