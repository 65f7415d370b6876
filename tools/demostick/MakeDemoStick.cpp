// Builds the demo stick that `make run` opens, and makes sure there are sounds to choose from.
//
//   MakeDemoStick FOLDER ["PROFILE NAME"] [SOUNDS]
//
// FOLDER must not exist yet: a stick the user has been working on is never overwritten (delete
// the folder, or run `make demo`, to start over). The profile is "AiboLife 2 (210)" unless named.
// SOUNDS, when given, gets the demo's generated sounds if it holds none at all.
#include "DemoSounds.h"
#include "DemoStick.h"
#include "TempDir.h"

#include <cstdio>

namespace {

constexpr const char* DefaultProfile = "AiboLife 2 (210)";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: MakeDemoStick FOLDER [\"PROFILE NAME\"] [SOUNDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string profileName = argc > 2 ? argv[2] : DefaultProfile;
    const ModelProfile* profile = FindProfile(profileName);
    if (profile == nullptr) {
        std::fprintf(stderr, "MakeDemoStick: no profile \"%s\"; the profiles are:\n", profileName.c_str());
        for (const ModelProfile& row : ProfileTable) {
            std::fprintf(stderr, "  %s\n", row.name);
        }
        return 2;
    }
    if (PathExists(folder)) {
        std::fprintf(stderr, "MakeDemoStick: %s exists already; remove it to start over\n", folder.c_str());
        return 1;
    }
    if (!DemoStick(*profile).Build(folder)) {
        std::fprintf(stderr, "MakeDemoStick: could not write the stick into %s\n", folder.c_str());
        return 1;
    }
    std::printf("Demo stick for \"%s\" made in %s\n", profile->name, folder.c_str());

    if (argc > 3 && !HasSounds(argv[3])) {
        std::vector<DemoSound> sounds = DemoMidiSounds();
        for (DemoSound& tone : DemoToneSounds()) {
            sounds.push_back(std::move(tone));
        }
        if (!WriteDemoSounds(argv[3], sounds)) {
            std::fprintf(stderr, "MakeDemoStick: could not write demo sounds into %s\n", argv[3]);
            return 1;
        }
        std::printf("Demo sounds written to %s\n", argv[3]);
    }
    return 0;
}
