// Seeds for RhapsodyFuzz: model files for each model, odd number texts, wrong markers and sizes.
#include "SeedRegistry.h"

#include "StickBuilder.h"

namespace {

std::vector<Seed> MakeRhapsodySeeds() {
    std::vector<Seed> seeds;
    for (int model : {210, 220, 310, 0}) {
        seeds.push_back({"model-" + std::to_string(model), RhapsodyForModel(model)});
    }
    seeds.push_back({"space-before", ScrambleRhapsody(MakeRhapsodyBlock(" 220"))});
    seeds.push_back({"letter-after", ScrambleRhapsody(MakeRhapsodyBlock("22x0"))});
    seeds.push_back({"negative", ScrambleRhapsody(MakeRhapsodyBlock("-210"))});
    seeds.push_back({"digits-to-end", ScrambleRhapsody(MakeRhapsodyBlock(std::string(28, '9')))});
    seeds.push_back({"wrong-marker", ScrambleRhapsody(MakeRhapsodyBlock("220", "ERS_"))});
    seeds.push_back({"size-96", ScrambleRhapsody(MakeRhapsodyBlock("220"), 96)});
    seeds.push_back({"size-98", ScrambleRhapsody(MakeRhapsodyBlock("220"), 98)});
    seeds.push_back({"unscrambled", MakeRhapsodyBlock("220")});
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(RhapsodyFuzz, MakeRhapsodySeeds);
