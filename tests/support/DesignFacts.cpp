#include "DesignFacts.h"

#include <array>

const ModelProfile& DesignProfile(int row) {
    static const std::array<ModelProfile, ProfileCount> profiles = [] {
        std::array<ModelProfile, ProfileCount> made{};
        for (int i = 0; i < ProfileCount; ++i) {
            const DesignProfileRow& d = kDesignProfiles[i];
            made[size_t(i)] = {d.name,         d.code,
                               d.model,        d.mwcPath,
                               d.dataFolder,   ProfileTable[i].catalog,
                               d.catalogCount, ProfileTable[i].stockLibrary};
        }
        return made;
    }();
    return profiles[size_t(row)];
}
