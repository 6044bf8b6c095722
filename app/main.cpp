#include "config/TPidConf.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TPidConf window;
    window.show();
    return app.exec();
}
