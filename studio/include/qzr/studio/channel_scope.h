#pragma once

#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

namespace qzr::studio {

// One channel's oscilloscope: the latest stretch of its stem as a line, scaled to its loudest.
// The picture starts at a rising zero crossing in the first half of what it is given, so a
// steady tone stands still.
class ChannelScope final : public QWidget {
public:
    explicit ChannelScope(QWidget* parent = nullptr);

    // The samples to draw (oldest first); half of them are shown.
    void Show(std::span<const std::int16_t> samples);
    // The loudest of the samples shown.
    int Peak() const;

    QSize sizeHint() const override { return {64, 40}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::int16_t> shown_;
};

}  // namespace qzr::studio
