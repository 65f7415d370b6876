#pragma once
// Finding the stick: the user picks its memstick.ind, its folder becomes the current directory,
// and the folder is accepted only with a well-formed OPEN-R\APP\VERSION.
#include "stick/ModelProfiles.h"

#include <string>
#include <vector>

// Asks until a valid stick root is chosen (true, code filled) or the user cancels (false).
bool LocateStick(SoftwareCode& code);
// The root of every mounted volume that holds a memstick.ind, spelled in any case, as far as the
// volumes answer within a second.
std::vector<std::string> MountedSticks();
// The open-file dialog for memstick.ind: in the current folder when it holds one, otherwise on
// the first mounted stick, with every mounted stick beside the usual places; false with an empty
// path when cancelled.
bool BrowseForMemstickInd(std::string& path);
// Reads the current directory's memstick.ind and VERSION; the code is untouched on false.
bool ReadVersionFile(SoftwareCode& code);
// The VERSION layout check over any byte source.
bool ParseVersionFile(ByteSource& source, SoftwareCode& code);
