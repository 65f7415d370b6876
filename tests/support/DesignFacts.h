#pragma once
// The robot software the program knows, written here once from the design's own table and never
// taken from the code: a test that read them from ProfileTable would compare the code with itself,
// and a misspelt path would show up on both sides. Sticks are built from these rows, so a program
// that looks elsewhere does not find them, and a save that writes elsewhere is seen to.
#include "stick/ModelProfiles.h"

struct DesignProfileRow {
    const char* name;
    SoftwareCode code;
    int model;
    const char* mwcPath;
    const char* dataFolder;
    int catalogCount;
    bool hasStockLibrary;
};

inline constexpr DesignProfileRow kDesignProfiles[ProfileCount] = {
    {"AiboLife 1", {0x00, 0x01, 0x02, 0xFF}, 0, "OPEN-R\\MW\\CONF\\ERS-210.MWC", "OPEN-R\\MW\\DATA\\P", 51, true},
    {"AiboLife 310",
     {0x00, 0x01, 0x0B, 0xFF},
     0,
     "OPEN-R\\MW\\CONF\\ERS-310.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-31X",
     22,
     true},
    {"AiboLife 2 (210)",
     {0x00, 0x01, 0x10, 0xFF},
     210,
     "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-210",
     51,
     true},
    {"Explorer (210)",
     {0x00, 0x01, 0x11, 0xFF},
     210,
     "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-210",
     51,
     true},
    {"AiboLife 2 (220)",
     {0x00, 0x01, 0x10, 0xFF},
     220,
     "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-220",
     14,
     true},
    {"Explorer (220)",
     {0x00, 0x01, 0x11, 0xFF},
     220,
     "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-220",
     14,
     true},
    {"Recognition (210)",
     {0x00, 0x01, 0x30, 0xFF},
     0,
     "OPEN-R\\MW\\CONF\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P",
     174,
     false},
};

// The row as a profile to build sticks from: the design's name, code, model and paths, with the
// program's catalog and stock library of that row (the catalogs are checked row by row on their
// own).
const ModelProfile& DesignProfile(int row);
