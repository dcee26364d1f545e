#include "wrapping_button.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace qzr::frontend {

void WrappingButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString label = option.text;
    // The style draws the bevel and focus; the label is drawn here so it may wrap.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(room, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         label, QPalette::ButtonText);
}

}  // namespace qzr::frontend
