#include "app/TonewrightApp.h"

#include "app/CustomizeDlg.h"
#include "app/InstallationPaths.h"
#include "platform/FileOps.h"
#include "platform/Prompt.h"

namespace {

// The title is the executable's file name without its extension.
std::string TitleFromExecutable(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name.empty() ? std::string("Tonewright") : name;
}

} // namespace

bool CTonewrightApp::InitInstance() {
    SetApplicationTitle(TitleFromExecutable(ExecutablePath()));
    BuildInstallationPaths();
    if (InstallationPathHasSpace()) {
        ShowMessage(InstallationRefusalMessage);
        return false;
    }
    static CustomizationState state;
    CCustomizeDlg dlg(state);
    SetMainWindow(&dlg);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return false;
}
