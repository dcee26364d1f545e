#include "qzr/frontend/player_icon.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <numbers>

namespace qzr::frontend {
namespace {

constexpr int kIconSize = 32;

void DrawBackground(QPainter& painter) {
    QLinearGradient fill(0, 0, 0, kIconSize);
    fill.setColorAt(0.0, QColor(0x2E, 0x75, 0xB6));
    fill.setColorAt(1.0, QColor(0x1B, 0x3F, 0x66));
    painter.setPen(QPen(QColor(0x12, 0x2B, 0x46), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kIconSize - 1.0, kIconSize - 1.0), 6.0, 6.0);
}

// One and a half periods of a sine along the bottom: the tone the chip makes.
void DrawWave(QPainter& painter) {
    QPainterPath wave;
    constexpr double kLeft = 4.0;
    constexpr double kRight = 28.0;
    constexpr double kMid = 25.0;
    constexpr double kAmplitude = 2.5;
    for (double x = kLeft; x <= kRight; x += 0.5) {
        const double phase = (x - kLeft) / (kRight - kLeft) * 3.0 * std::numbers::pi;
        const QPointF point(x, kMid - kAmplitude * std::sin(phase));
        if (x == kLeft) {
            wave.moveTo(point);
        } else {
            wave.lineTo(point);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x9D, 0xE0, 0xF7), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
}

// Two eighth notes joined by a slanted beam.
void DrawNotes(QPainter& painter) {
    const QColor ink(0xFF, 0xFF, 0xFF);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QRectF(6.0, 15.0, 7.0, 5.0));
    painter.drawEllipse(QRectF(17.0, 12.5, 7.0, 5.0));

    painter.setPen(QPen(ink, 1.6));
    painter.drawLine(QPointF(12.2, 17.0), QPointF(12.2, 5.5));
    painter.drawLine(QPointF(23.2, 14.5), QPointF(23.2, 3.0));

    QPainterPath beam;
    beam.moveTo(11.4, 5.5);
    beam.lineTo(24.0, 3.0);
    beam.lineTo(24.0, 6.0);
    beam.lineTo(11.4, 8.5);
    beam.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.drawPath(beam);
}

}  // namespace

QIcon MakePlayerIcon() {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawBackground(painter);
        DrawWave(painter);
        DrawNotes(painter);
    }
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace qzr::frontend
