// The substitution a save hands to the rewrite is prepared once per save; it must replace exactly
// the names, and count exactly the records, that trying every catalog key on every name would.
#include "writer/MwcRewriter.h"

#include "StickBuilder.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

class SoundNameSubstitutionTest : public ::testing::TestWithParam<int> {};

// Every record text of the profile's typical configuration, plus names built around each key.
std::vector<std::string> NamesFor(const ModelProfile& profile) {
    std::vector<std::string> names;
    for (const MwcBlock& block : TypicalContainer(profile).blocks) {
        for (const MwcRecord& record : block.records) {
            names.push_back(record.text);
        }
    }
    for (int i = 0; i < profile.catalogCount; ++i) {
        if (const char* key = profile.catalog[i].key) {
            std::string k = key;
            names.push_back(k);
            names.push_back(k + "x");
            names.push_back(k.substr(0, k.size() - 1));
        }
    }
    return names;
}

TEST_P(SoundNameSubstitutionTest, PreparedSubstitutionAgreesWithTryingEveryKey) {
    const ModelProfile& profile = ProfileTable[GetParam()];
    const std::vector<std::string> files = {
        "Bark.wav",    "tune.mid",   "my.song.wav", "a-name-far-too-long-to-be-packed.wav",
        "noextension", "Sample.wav", "sample.MID"};
    std::mt19937 random(static_cast<unsigned>(GetParam()) + 7);
    for (int round = 0; round < 8; ++round) {
        CustomizationState reference;
        reference.ActiveProfile = &profile;
        reference.Assignments = AssignmentTable(static_cast<size_t>(profile.catalogCount));
        for (int i = 0; i < profile.catalogCount; ++i) {
            // From nothing assigned (round 0) to everything assigned (round 7).
            if (profile.catalog[i].key != nullptr && static_cast<int>(random() % 7) < round) {
                (*reference.Assignments)[static_cast<size_t>(i)] = files[random() % files.size()];
            }
        }
        CustomizationState prepared = reference;
        MwcTextCallback substitute = SoundNameSubstitution(prepared);
        for (const std::string& name : NamesFor(profile)) {
            for (uint32_t kind : {SoundNameRecordKind, 0x2011u}) {
                char expected[256] = {};
                char actual[256] = {};
                std::strncpy(expected, name.c_str(), sizeof expected - 1);
                std::strncpy(actual, name.c_str(), sizeof actual - 1);
                SubstituteSoundName(reference, 0, kind, expected);
                substitute(0, kind, actual);
                ASSERT_STREQ(actual, expected) << name << " in round " << round;
            }
        }
        EXPECT_EQ(prepared.ModifiedEntryCount, reference.ModifiedEntryCount) << "round " << round;
        if (round == 7) {
            EXPECT_GT(reference.ModifiedEntryCount, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProfile, SoundNameSubstitutionTest, ::testing::Range(0, ProfileCount));

TEST(SoundNameSubstitution, NoCatalogKeyLooksLikeACustomSoundName) {
    // A replaced name is never matched again because custom sound names start with "u_".
    for (const ModelProfile& profile : ProfileTable) {
        for (int i = 0; i < profile.catalogCount; ++i) {
            const char* key = profile.catalog[i].key;
            EXPECT_TRUE(key == nullptr || std::strncmp(key, "u_", 2) != 0) << key;
        }
    }
}

} // namespace
