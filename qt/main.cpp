// The Tesselbox window program. The exit code is 0 on every path, also when the color table fails.
#include "qt/Pictures.h"
#include "qt/MainWindow.h"

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include <langinfo.h>

namespace {

// File names and texts are UTF-8. Where the environment names no UTF-8 locale (a session started
// without one), character handling takes C.UTF-8, and the rest of the user's locale stays.
void UseUtf8Characters() {
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
    if (const char* all = std::getenv("LC_ALL"); all != nullptr && *all != '\0') {
        setenv("LANG", all, 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
}

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Characters();
    tesselbox::platform::RouteQtMessages();
    QApplication application(argc, argv);
    tesselbox::qt::ConfigureApplication(application);
    tesselbox::qt::MainWindow window;
    if (!window.Start()) return 0;
    window.show();
    application.exec();
    return 0;
}
