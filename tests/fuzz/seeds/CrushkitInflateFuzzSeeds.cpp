// Seeds for CrushkitInflateFuzz: gzip streams of configuration containers as the stick carries
// them, at several levels, joined, and damaged.
#include "SeedRegistry.h"

#include "ContainerBuilder.h"

namespace {

std::vector<uint8_t> Container() {
    MwcContainer container;
    container.blocks.push_back({0x10,
                                {{SoundRecordKind, "up1_joy1_x2s", {}, std::nullopt},
                                 {0x3000, "motion_sit", {}, std::nullopt},
                                 {SoundRecordKind, "wakeup_nxs", {}, std::nullopt}},
                                {}});
    return BuildContainer(container);
}

std::vector<Seed> MakeCrushkitInflateSeeds() {
    const std::vector<uint8_t> plain = Container();
    std::vector<Seed> seeds;
    seeds.push_back({"level-1", GzipBytes(plain, 1)});
    seeds.push_back({"level-6", GzipBytes(plain, 6)});
    seeds.push_back({"level-9", GzipBytes(plain, 9)});
    seeds.push_back({"empty-member", GzipBytes({}, 6)});

    std::vector<uint8_t> joined = GzipBytes(plain, 6);
    std::vector<uint8_t> second = GzipBytes(plain, 1);
    joined.insert(joined.end(), second.begin(), second.end());
    seeds.push_back({"two-members", joined});

    std::vector<uint8_t> cut = GzipBytes(plain, 6);
    cut.erase(cut.end() - 3, cut.end());
    seeds.push_back({"truncated", cut});

    std::vector<uint8_t> garbage = GzipBytes(plain, 6);
    garbage.insert(garbage.end(), {0, 0, 0, 0});
    seeds.push_back({"trailing-zeros", garbage});

    seeds.push_back({"plain-container", plain});
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(CrushkitInflateFuzz, MakeCrushkitInflateSeeds);
