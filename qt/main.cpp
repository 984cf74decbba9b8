// The Tesselbox window program. The exit code is 0 on every path, also when the color table fails.
#include "qt/QtWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    tesselbox::qt::ConfigureApplication(application);
    tesselbox::qt::MainWindow window;
    if (!window.Start()) return 0;
    window.show();
    application.exec();
    return 0;
}
