#include "app/TonewrightApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    CTonewrightApp theApp;
    if (!theApp.ParseCommandLine(QApplication::arguments())) {
        return 2;
    }
    theApp.InitInstance();
    return 0;
}
