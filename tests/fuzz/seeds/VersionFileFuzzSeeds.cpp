// Seeds for VersionFileFuzz: VERSION files of every profile, comments of several lengths, and
// one file for each rule of the layout broken.
#include "SeedRegistry.h"

#include "StickBuilder.h"

namespace {

std::vector<Seed> MakeVersionFileSeeds() {
    std::vector<Seed> seeds;
    for (int row = 0; row < ProfileCount; ++row) {
        VersionSpec spec;
        spec.code = ProfileTable[row].softwareCode;
        seeds.push_back({"profile-" + std::to_string(row), BuildVersionFile(spec)});
    }
    for (size_t length : {0, 1, 64, 300}) {
        VersionSpec spec;
        spec.comment = std::string(length, 'c');
        seeds.push_back({"comment-" + std::to_string(length), BuildVersionFile(spec)});
    }
    struct Broken {
        const char* name;
        void (*breakIt)(VersionSpec&);
    };
    const Broken broken[] = {
        {"first-magic", [](VersionSpec& s) { s.firstMagic = "VERX"; }},
        {"first-integer", [](VersionSpec& s) { s.firstValue = 2; }},
        {"comment-magic", [](VersionSpec& s) { s.commentMagic = "COMM"; }},
        {"comment-length-past-end", [](VersionSpec& s) { s.commentLength = 0xFFFFFFF0u; }},
        {"second-magic", [](VersionSpec& s) { s.secondMagic = "VERZ"; }},
        {"second-integer", [](VersionSpec& s) { s.secondValue = 9; }},
        {"ends-before-version-bytes", [](VersionSpec& s) { s.truncateAt = 28 + s.comment.size(); }},
        {"ends-in-first-block", [](VersionSpec& s) { s.truncateAt = 15; }},
        {"trailing-bytes",
         [](VersionSpec& s) {
             s.trailing = {0xFF, 0x00, 0xFF};
         }},
    };
    for (const Broken& b : broken) {
        VersionSpec spec;
        b.breakIt(spec);
        seeds.push_back({b.name, BuildVersionFile(spec)});
    }
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(VersionFileFuzz, MakeVersionFileSeeds);
