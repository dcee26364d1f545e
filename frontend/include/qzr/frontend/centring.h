#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace qzr::frontend {

// Top-left corner that centres something of `size` in `area` (the window model's arithmetic).
QPoint CentredTopLeft(const QRect& area, const QSize& size);

// Moves a top-level window, frame included, to the centre of its screen's available area
// (the desktop without panels and docks). Size unchanged.
void CentreInAvailableArea(QWidget& window);

// Moves a top-level window, frame included, to the centre of its whole screen.
void CentreOnScreen(QWidget& window);

// Centres the window on its screen again whenever it is shown, when more platforms know the size
// of its frame than before. The watcher is a child of the window.
void CentreOnScreenWhenShown(QWidget& window);

}  // namespace qzr::frontend
