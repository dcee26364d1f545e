#include "qzr/frontend/centring.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include "qzr/frontend/window_model.h"

namespace qzr::frontend {
namespace {

QScreen* ScreenOf(const QWidget& window) {
    QScreen* screen = window.screen();
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

void CentreIn(QWidget& window, const QRect& area) {
    // frameGeometry() is the client area alone until a window manager has framed the window.
    window.move(CentredTopLeft(area, window.frameGeometry().size()));
}

class CentreOnShow final : public QObject {
public:
    explicit CentreOnShow(QWidget& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) CentreOnScreen(window_);
        return false;
    }

private:
    QWidget& window_;
};

}  // namespace

QPoint CentredTopLeft(const QRect& area, const QSize& size) {
    const Point corner = qzr::frontend::CentredTopLeft(area.x(), area.y(), area.width(),
                                                       area.height(), size.width(), size.height());
    return {corner.x, corner.y};
}

void CentreInAvailableArea(QWidget& window) {
    if (const QScreen* screen = ScreenOf(window)) CentreIn(window, screen->availableGeometry());
}

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = ScreenOf(window)) CentreIn(window, screen->geometry());
}

void CentreOnScreenWhenShown(QWidget& window) {
    window.installEventFilter(new CentreOnShow(window));
}

}  // namespace qzr::frontend
