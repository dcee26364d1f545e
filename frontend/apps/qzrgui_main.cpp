#include <QApplication>

#include "qzr/frontend/player_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    return qzr::frontend::RunPlayerWindow(qzr::frontend::MakeDefaultSeams());
}
