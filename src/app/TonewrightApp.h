#pragma once
#include <QStringList>

// The application: builds the installation paths, refuses a folder with a space in its path,
// and otherwise runs the customization dialog as its main window. When the dialog ends, so
// does the program.
class CTonewrightApp {
public:
    // The one option, --model 210|220: the robot model to take when the stick's model file
    // cannot be read. False, after saying why on standard error, for anything else; --help
    // prints the usage and ends the program.
    bool ParseCommandLine(const QStringList& arguments);
    int AssumedModel() const { return m_assumedModel; }

    // Always false: there is no message loop beyond the dialog's.
    bool InitInstance();

private:
    int m_assumedModel = 0;
};
