// Seeds for MwcRewriteFuzz: well-formed containers with sound names the substitution replaces,
// and the malformed shapes the rewrite must refuse.
#include "SeedRegistry.h"

#include "ContainerBuilder.h"

#include <climits>

namespace {

MwcRecord Sound(const std::string& text, uint32_t kind = SoundRecordKind) {
    return {kind, text, {}, std::nullopt};
}

MwcContainer Typical() {
    MwcContainer container;
    container.blocks.push_back({0x10, {Sound("up1_joy1_x2s"), Sound("motion_sit", 0x3000), Sound("wakeup_nxs")}, {}});
    container.blocks.push_back({0x20, {}, {}});
    container.blocks.push_back({0x30, {Sound("hakken_ball"), Sound("abc"), Sound(std::string(99, 'w'))}, {}});
    return container;
}

std::vector<Seed> MakeMwcRewriteSeeds() {
    std::vector<Seed> seeds;
    seeds.push_back({"typical", BuildContainer(Typical())});
    seeds.push_back({"one-record", BuildContainer({1, 0, {{7, {Sound("bark_hi")}, {}}}, {}, {}})});
    seeds.push_back({"no-blocks", BuildContainer({1, 0, {}, {}, {}})});

    MwcContainer negative = Typical();
    negative.blockCountOverride = INT32_MIN;
    seeds.push_back({"negative-block-count", BuildContainer(negative)});
    MwcContainer huge = Typical();
    huge.blocks[0].recordCountOverride = INT32_MAX;
    seeds.push_back({"huge-record-count", BuildContainer(huge)});

    MwcContainer trailing = Typical();
    trailing.trailing = {'C', 'M', 'A', 'C', 0, 0, 0};
    seeds.push_back({"trailing-bytes", BuildContainer(trailing)});

    MwcContainer zero = Typical();
    zero.blocks[0].records[0].text = std::string("up1\0joy", 7);
    zero.blocks[2].records[0].text = std::string("\0akken", 6);
    seeds.push_back({"zero-in-text", BuildContainer(zero)});

    MwcContainer badLength = Typical();
    badLength.blocks[2].records[1].lengthOverride = 100;
    seeds.push_back({"length-100", BuildContainer(badLength)});

    MwcContainer format2 = Typical();
    format2.format = 2;
    seeds.push_back({"format-2", BuildContainer(format2)});

    std::vector<uint8_t> cut = BuildContainer(Typical());
    cut.erase(cut.end() - 5, cut.end());
    seeds.push_back({"truncated", cut});
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(MwcRewriteFuzz, MakeMwcRewriteSeeds);
