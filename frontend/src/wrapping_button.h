#pragma once

#include <QPushButton>

namespace qzr::frontend {

// A push button whose label breaks between words when the font is too wide for the button,
// instead of being clipped at both ends. Its text stays one line for everything but painting.
class WrappingButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qzr::frontend
