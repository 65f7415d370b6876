// Writes the seed corpus of every fuzz target into <out>/<target>/.
#include "SeedRegistry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace {
std::map<std::string, std::vector<SeedMaker>>& Registry() {
    static std::map<std::string, std::vector<SeedMaker>> registry;
    return registry;
}
} // namespace

bool RegisterSeeds(const std::string& target, SeedMaker maker) {
    Registry()[target].push_back(std::move(maker));
    return true;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeSeedCorpus OUTPUT-FOLDER\n");
        return 2;
    }
    for (const auto& [target, makers] : Registry()) {
        std::filesystem::path folder = std::filesystem::path(argv[1]) / target;
        std::filesystem::create_directories(folder);
        for (const SeedMaker& make : makers) {
            for (const Seed& seed : make()) {
                std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(seed.bytes.data()),
                          static_cast<std::streamsize>(seed.bytes.size()));
                if (!out) {
                    std::fprintf(stderr, "cannot write %s\n", (folder / seed.name).c_str());
                    return 1;
                }
            }
        }
    }
    return 0;
}
