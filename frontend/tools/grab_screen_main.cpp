// qzr_grab_screen OUT.png: saves what the X display shows into OUT.png.
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qzr_grab_screen OUT.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "qzr_grab_screen: no screen\n");
        return 1;
    }
    // Window id 0 is the whole screen, the other programs' windows included.
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "qzr_grab_screen: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
