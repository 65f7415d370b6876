#pragma once
// Seed inputs for the fuzz targets. Each tests/fuzz/seeds/*Seeds.cpp registers the seeds of one
// target, made with the same builders the tests use; MakeSeedCorpus writes them out.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
};

using SeedMaker = std::function<std::vector<Seed>()>;

// Registers the seeds of the fuzz target `target` (its executable's name, e.g. "VersionFileFuzz").
bool RegisterSeeds(const std::string& target, SeedMaker maker);

#define TW_REGISTER_SEEDS(target, maker) static const bool tw_seeds_##target = RegisterSeeds(#target, maker)
