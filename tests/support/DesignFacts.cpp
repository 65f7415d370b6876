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

std::string DifferencesFromDesign(const ModelProfile* profile, int row) {
    if (profile == nullptr) {
        return "no profile\n";
    }
    const DesignProfileRow& d = kDesignProfiles[row];
    std::string differences;
    const auto compare = [&](const char* field, const std::string& program, const std::string& design) {
        if (program != design) {
            differences += std::string(field) + ": " + program + " / " + design + "\n";
        }
    };
    compare("name", profile->name, d.name);
    compare("code", std::string(profile->softwareCode.begin(), profile->softwareCode.end()),
            std::string(d.code.begin(), d.code.end()));
    compare("model", std::to_string(profile->model), std::to_string(d.model));
    compare("mwcPath", profile->mwcPath, d.mwcPath);
    compare("dataFolder", profile->dataFolder, d.dataFolder);
    compare("catalogCount", std::to_string(profile->catalogCount), std::to_string(d.catalogCount));
    compare("stock library", profile->stockLibrary != nullptr ? "yes" : "none", d.hasStockLibrary ? "yes" : "none");
    return differences;
}
