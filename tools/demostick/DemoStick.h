#pragma once
// The demo stick: a complete stick for one profile whose configuration reads like a robot's own.
#include "StickBuilder.h"

#include <string>

// The configuration of the demo: a header block of settings, one block per category of the
// profile's catalog naming every stock sound (the wildcard keys in two or three of the forms the
// robot software uses), sound names of the software's own that no key stands for, and records of
// other kinds (motions, LED patterns, triggers) between them.
MwcContainer DemoContainer(const ModelProfile& profile);

// The stick for the profile: memstick.ind, VERSION, the model file, the gzipped demo
// configuration and the data folder. No backup and no record: the program makes those.
StickBuilder DemoStick(const ModelProfile& profile);

// The profile of that name, or null.
const ModelProfile* FindProfile(const std::string& name);
