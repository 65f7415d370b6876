#include "app/TonewrightApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    CTonewrightApp theApp;
    theApp.InitInstance();
    return 0;
}
