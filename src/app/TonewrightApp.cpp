#include "app/TonewrightApp.h"

#include "app/CustomizeDlg.h"
#include "app/InstallationPaths.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

// The title is the executable's file name. Programs here carry no extension to drop: a dot in
// the name is part of it (Tonewright-2.0 stays Tonewright-2.0).
std::string TitleFromExecutable(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() ? std::string("Tonewright") : name;
}

} // namespace

bool CTonewrightApp::ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Gives an AIBO robot your own sounds: open its memory stick, choose, save."));
    parser.addHelpOption();
    const QCommandLineOption model(
        QStringLiteral("model"),
        QStringLiteral("The robot model (210 or 220) to take when the model file on the stick cannot be "
                       "read. A stick whose model file can be read is always taken at its word."),
        QStringLiteral("210|220"));
    parser.addOption(model);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.errorText()));
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(); // ends the program
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.positionalArguments().first()));
        return false;
    }
    if (parser.isSet(model)) {
        const QString value = parser.value(model);
        if (value != QLatin1String("210") && value != QLatin1String("220")) {
            std::fprintf(stderr, "%s: --model takes 210 or 220, not '%s'\n",
                         qPrintable(QCoreApplication::applicationName()), qPrintable(value));
            return false;
        }
        m_assumedModel = value.toInt();
    }
    return true;
}

bool CTonewrightApp::InitInstance() {
    SetApplicationTitle(TitleFromExecutable(ExecutablePath()));
    BuildInstallationPaths();
    if (InstallationPathHasSpace()) {
        ShowMessage(InstallationRefusalMessage);
        return false;
    }
    static CustomizationState state;
    state.AssumedModel = m_assumedModel;
    CCustomizeDlg dlg(state);
    SetMainWindow(&dlg);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return false;
}
