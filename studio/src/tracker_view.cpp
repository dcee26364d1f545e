#include "qzr/studio/tracker_view.h"

#include <QFontDatabase>
#include <QHeaderView>

#include "qzr/format/rows.h"

namespace qzr::studio {

TrackerView::TrackerView(QWidget* parent) : QTableWidget(parent) {
    setAccessibleName("Tracker");
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::NoFocus);  // it follows the song; the editor keeps the keyboard
    // Fixed heights: measuring every cell again at each row shown would cost the GUI thread most
    // of its time while playing.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setMinimumSectionSize(fontMetrics().horizontalAdvance("C-4 off") + 8);
    setWordWrap(false);
    setRowCount(kRowsShown);
}

void TrackerView::SetSong(std::optional<SongImage> song) {
    song_ = std::move(song);
    const int channels = song_ ? song_->Target().channelCount : 0;
    setColumnCount(channels);
    QStringList names;
    for (int c = 1; c <= channels; ++c) names << QString("ch%1").arg(c);
    setHorizontalHeaderLabels(names);
    Fill();
}

void TrackerView::ShowRow(int row) {
    if (row == shownRow_) return;
    shownRow_ = row;
    Fill();
}

QString TrackerView::CellText(int row, int channel) const {
    if (!song_ || row < 0 || row >= song_->RowCount()) return {};
    return QString::fromStdString(
               TrackerEventText(song_->Note(row, channel), song_->Key(row, channel)))
        .trimmed();
}

void TrackerView::Fill() {
    const int first = std::max(0, shownRow_) - kRowsBefore;
    QStringList numbers;
    for (int r = 0; r < kRowsShown; ++r) {
        const int row = first + r;
        const bool inSong = song_ && row >= 0 && row < song_->RowCount();
        numbers << (inSong ? QString::number(row) : QString());
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* cell = item(r, c);
            if (cell == nullptr) {
                cell = new QTableWidgetItem;
                setItem(r, c, cell);
            }
            cell->setText(CellText(row, c));
        }
    }
    setVerticalHeaderLabels(numbers);
    if (shownRow_ >= 0 && columnCount() > 0) selectRow(kRowsBefore);
}

}  // namespace qzr::studio
