// qzrstudio: edit a qmml song and hear every change. An optional argument opens a source.
#include <QApplication>
#include <QMessageBox>

#include "qzr/studio/studio_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    qzr::studio::StudioWindow window;
    if (argc > 1) {
        QString error;
        if (!window.OpenFile(argv[1], error)) QMessageBox::warning(&window, "qzrstudio", error);
    }
    window.show();
    return QApplication::exec();
}
