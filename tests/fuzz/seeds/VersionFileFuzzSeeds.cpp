// Seeds for VersionFileFuzz: VERSION files of every profile, comments of several lengths, and
// one file for each rule of the layout broken.
#include "SeedRegistry.h"

#include "StickBuilder.h"

namespace {

std::vector<Seed> MakeVersionFileSeeds() {
    std::vector<Seed> seeds;
    for (int row = 0; row < ProfileCount; ++row) {
        VersionLayout layout;
        layout.code = ProfileTable[row].softwareCode;
        seeds.push_back({"profile-" + std::to_string(row), BuildVersionFile(layout)});
    }
    for (size_t length : {0, 1, 64, 300}) {
        VersionLayout layout;
        layout.comment = std::string(length, 'c');
        seeds.push_back({"comment-" + std::to_string(length), BuildVersionFile(layout)});
    }
    struct Broken {
        const char* name;
        void (*breakIt)(VersionLayout&);
    };
    const Broken broken[] = {
        {"first-magic", [](VersionLayout& s) { s.firstMagic = "VERX"; }},
        {"first-integer", [](VersionLayout& s) { s.firstValue = 2; }},
        {"comment-magic", [](VersionLayout& s) { s.commentMagic = "COMM"; }},
        {"comment-length-past-end", [](VersionLayout& s) { s.commentLength = 0xFFFFFFF0u; }},
        {"second-magic", [](VersionLayout& s) { s.secondMagic = "VERZ"; }},
        {"second-integer", [](VersionLayout& s) { s.secondValue = 9; }},
        {"ends-before-version-bytes", [](VersionLayout& s) { s.truncateAt = 28 + s.comment.size(); }},
        {"ends-in-first-block", [](VersionLayout& s) { s.truncateAt = 15; }},
        {"trailing-bytes",
         [](VersionLayout& s) {
             s.trailing = {0xFF, 0x00, 0xFF};
         }},
    };
    for (const Broken& b : broken) {
        VersionLayout layout;
        b.breakIt(layout);
        seeds.push_back({b.name, BuildVersionFile(layout)});
    }
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(VersionFileFuzz, MakeVersionFileSeeds);
