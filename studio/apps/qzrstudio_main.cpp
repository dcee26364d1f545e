// qzrstudio: edit a qmml song and hear every change.
//   qzrstudio [SONG.qmml] [--play]     opens the source; --play starts playing it at once
#include <QApplication>
#include <QMessageBox>

#include "qzr/studio/studio_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("qzr");
    QApplication::setApplicationName("qzrstudio");
    qzr::studio::StudioWindow window;
    bool play = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == "--play") {
            play = true;
            continue;
        }
        QString error;
        if (!window.OpenFile(argument.toStdString(), error)) {
            QMessageBox::warning(&window, "qzrstudio", error);
        }
    }
    window.show();
    if (play) window.PlayFromStart();
    return QApplication::exec();
}
