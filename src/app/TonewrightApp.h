#pragma once

// The application: builds the installation paths, refuses a folder with a space in its path,
// and otherwise runs the customization dialog as its main window. When the dialog ends, so
// does the program.
class CTonewrightApp {
public:
    // Always false: there is no message loop beyond the dialog's.
    bool InitInstance();
};
