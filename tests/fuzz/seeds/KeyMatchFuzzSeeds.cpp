// Seeds for KeyMatchFuzz: every catalog key beside a sound name it stands for, a near miss, and
// replacement file names of the kinds users keep in their sound folder.
#include "SeedRegistry.h"

#include "catalog/SoundCatalogs.h"

#include <string>
#include <utility>
#include <vector>

namespace {

Seed MakeSeed(std::string name, const std::string& key, const std::string& rest) {
    std::string text = key;
    text += '\0';
    text += rest;
    return {std::move(name), std::vector<uint8_t>(text.begin(), text.end())};
}

// A name the robot software might use for the key: wildcards filled in.
std::string ConcreteName(std::string key) {
    if (size_t at = key.find('?'); at != std::string::npos) {
        key[at] = '1';
    } else if (size_t star = key.find('*'); star != std::string::npos) {
        key.replace(star, std::string::npos, "up_x1d");
    }
    return key;
}

std::vector<Seed> MakeKeyMatchSeeds() {
    const struct {
        const char* name;
        const CatalogEntry* rows;
        int count;
    } catalogs[] = {
        {"AiboLife1", AiboLife1Catalog, AiboLife1CatalogCount},
        {"Ers310", Ers310Catalog, Ers310CatalogCount},
        {"Ers220", Ers220Catalog, Ers220CatalogCount},
        {"Recognition", RecognitionCatalog, RecognitionCatalogCount},
    };
    std::vector<Seed> seeds;
    for (const auto& catalog : catalogs) {
        for (int i = 0; i < catalog.count; ++i) {
            if (!IsStockSound(catalog.rows[i])) {
                continue;
            }
            const std::string key = catalog.rows[i].key;
            const std::string prefix = std::string(catalog.name) + "_" + std::to_string(i);
            seeds.push_back(MakeSeed(prefix + "_match", key, ConcreteName(key)));
            seeds.push_back(MakeSeed(prefix + "_miss", key, ConcreteName(key) + "2"));
        }
    }

    const std::pair<const char*, const char*> files[] = {
        {"bark", "Bark.WAV"},
        {"tune", "Tune.MID"},
        {"two_dots", "drum.mix.wav"},
        {"only_ext", ".wav"},
        {"no_dot", "README"},
        {"default", "(default)"},
        {"max", "abcdefghijklmnopqrstuvwxyz12.wav"},
        {"over", "abcdefghijklmnopqrstuvwxyz123.wav"},
        {"high", "\xC4pfel.mid"},
    };
    for (const auto& [name, file] : files) {
        seeds.push_back(MakeSeed(std::string("file_") + name, "wake*", file));
    }

    seeds.push_back(MakeSeed("two_questions", "ab?d?f", "abXd?f"));
    seeds.push_back(MakeSeed("both_wildcards", "ab*?", "ab*x"));
    std::string longKey(200, 'k');
    longKey[198] = '?';
    seeds.push_back(MakeSeed("long_question_key", longKey, std::string(200, 'k')));
    return seeds;
}

} // namespace

TW_REGISTER_SEEDS(KeyMatchFuzz, MakeKeyMatchSeeds);
