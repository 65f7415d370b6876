#include "writer/CompressorBridge.h"

#include "app/InstallationPaths.h"
#include "platform/Prompt.h"
#include "platform/Spawn.h"

#include <cerrno>
#include <cstdio>

std::string CompressorPath() {
    return ProgramFolder + "/Crushkit";
}

void RunCompressor(const std::string& filePath, const std::string& option) {
    const std::string tool = CompressorPath();
    int spawnErrno = 0;
    int status = SpawnAndWait({tool, option, filePath}, &spawnErrno);
    if (status == -1) {
        errno = spawnErrno;
    }
    if (status != 0) {
        char text[1200];
        std::snprintf(text, sizeof text, "Error spawning '%s %s %s' (%d)", tool.c_str(), option.c_str(),
                      filePath.c_str(), errno);
        ShowMessage(text);
    }
}
