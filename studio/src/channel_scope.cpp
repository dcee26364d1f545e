#include "qzr/studio/channel_scope.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cstdlib>

namespace qzr::studio {

ChannelScope::ChannelScope(QWidget* parent) : QWidget(parent) {
    setMinimumSize(40, 32);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ChannelScope::Show(std::span<const std::int16_t> samples) {
    const std::size_t half = samples.size() / 2;
    std::size_t start = 0;
    for (std::size_t i = 1; i < half; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            start = i;
            break;
        }
    }
    const auto from = samples.subspan(start, half);
    if (std::equal(from.begin(), from.end(), shown_.begin(), shown_.end())) return;
    shown_.assign(from.begin(), from.end());
    update();
}

int ChannelScope::Peak() const {
    int peak = 0;
    for (const std::int16_t s : shown_) peak = std::max(peak, std::abs(int{s}));
    return peak;
}

void ChannelScope::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    const double middle = height() / 2.0;
    painter.drawLine(QPointF(0, middle), QPointF(width(), middle));
    if (shown_.size() < 2) return;
    // One point a pixel column at most: more would only cost time.
    const std::size_t points = std::min<std::size_t>(shown_.size(), std::max(2, width()));
    // Scaled to the loudest shown, so a quiet channel's shape can be seen too; up to 8 times,
    // so a fading tail does not fill the picture.
    const double full = std::max(Peak(), 4'096);
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(points));
    for (std::size_t p = 0; p < points; ++p) {
        const std::size_t i = p * (shown_.size() - 1) / (points - 1);
        const double x = static_cast<double>(p) * (width() - 1) / static_cast<double>(points - 1);
        line << QPointF(x, middle - shown_[i] * (middle - 1) / full);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().text().color(), 1));
    painter.drawPolyline(line);
}

}  // namespace qzr::studio
