#include "catalog/SoundCatalogs.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// Rows are identities shared with the tree, the assignment table and the stock libraries, so the
// tables must not be writable through their declarations.
static_assert(std::is_const_v<std::remove_reference_t<decltype(AiboLife1Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(Ers210Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(Ers310Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(Ers220Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(RecognitionCatalog[0])>>);

namespace {

struct CatalogCase {
    const char* name;
    const CatalogEntry* rows;
    int count;
    std::vector<std::pair<int, std::string>> headers;
    int starKeys;
    int questionKeys;
};

std::ostream& operator<<(std::ostream& out, const CatalogCase& c) {
    return out << c.name;
}

std::vector<CatalogCase> AllCatalogs() {
    return {
        {"AiboLife1",
         AiboLife1Catalog,
         AiboLife1CatalogCount,
         {{0, "AIBO GENERAL"}, {17, "AIBO WANTS"}, {26, "AIBO MOODS"}},
         1,
         19},
        {"Ers210",
         Ers210Catalog,
         Ers210CatalogCount,
         {{0, "AIBO GENERAL"}, {17, "AIBO WANTS"}, {26, "AIBO MOODS"}},
         1,
         19},
        {"Ers310",
         Ers310Catalog,
         Ers310CatalogCount,
         {{0, "AIBO GENERAL"}, {11, "AIBO WANTS"}, {21, "AIBO MOODS - not yet implemented"}},
         1,
         0},
        {"Ers220",
         Ers220Catalog,
         Ers220CatalogCount,
         {{0, "AIBO GENERAL"}, {6, "AIBO WANTS"}, {13, "AIBO MOODS - not yet implemented"}},
         1,
         0},
        {"Recognition",
         RecognitionCatalog,
         RecognitionCatalogCount,
         {{0, "My Pink Ball and others"},
          {30, "Playing"},
          {62, "Status"},
          {72, "Interacting"},
          {103, "Emotions"},
          {119, "Reactions"},
          {130, "Self Charge"},
          {157, "General Voice"}},
         0,
         0},
    };
}

class EveryCatalog : public testing::TestWithParam<CatalogCase> {};

TEST_P(EveryCatalog, HeadersSitExactlyAtTheirPositionsWithTheirTitles) {
    const CatalogCase& c = GetParam();
    std::map<int, std::string> expected(c.headers.begin(), c.headers.end());
    ASSERT_TRUE(expected.count(0)) << "every stock sound needs a group to belong to";
    for (int i = 0; i < c.count; ++i) {
        auto header = expected.find(i);
        if (header != expected.end()) {
            EXPECT_FALSE(IsStockSound(c.rows[i])) << "row " << i;
            EXPECT_STREQ(c.rows[i].label, header->second.c_str()) << "row " << i;
        } else {
            EXPECT_TRUE(IsStockSound(c.rows[i])) << "row " << i;
        }
    }
}

TEST_P(EveryCatalog, EveryLabelIsPresentAndFitsTheTree) {
    const CatalogCase& c = GetParam();
    for (int i = 0; i < c.count; ++i) {
        ASSERT_NE(c.rows[i].label, nullptr) << "row " << i;
        const size_t length = std::strlen(c.rows[i].label);
        EXPECT_GE(length, 1u) << "row " << i;
        EXPECT_LE(length, 52u) << "row " << i << ": " << c.rows[i].label;
    }
}

TEST_P(EveryCatalog, KeysAreUniqueSoTheRecordSelectsOneRow) {
    const CatalogCase& c = GetParam();
    std::set<std::string> seen;
    for (int i = 0; i < c.count; ++i) {
        if (IsStockSound(c.rows[i])) {
            EXPECT_TRUE(seen.insert(c.rows[i].key).second) << "duplicate key " << c.rows[i].key << " at row " << i;
        }
    }
}

TEST_P(EveryCatalog, KeysHaveTheShapeTheRewriteRelyOn) {
    const CatalogCase& c = GetParam();
    for (int i = 0; i < c.count; ++i) {
        if (!IsStockSound(c.rows[i])) {
            continue;
        }
        const std::string key = c.rows[i].key;
        SCOPED_TRACE("row " + std::to_string(i) + ": " + key);
        EXPECT_GE(key.size(), 5u);
        EXPECT_LE(key.size(), 25u);
        // The rewrite compares the first four characters literally before it looks at patterns.
        EXPECT_EQ(key.find_first_of("?*"), key.find_first_of("?*", 4));
        for (size_t p = 0; p < key.size(); ++p) {
            const unsigned char ch = static_cast<unsigned char>(key[p]);
            if (ch == '?') {
                EXPECT_EQ(p, key.size() - 2) << "a \"?\" is only ever next-to-last";
            } else if (ch == '*') {
                EXPECT_EQ(p, key.size() - 1) << "a \"*\" is only ever last";
            } else {
                EXPECT_TRUE(std::isalnum(ch) || ch == '_') << "character " << p;
            }
        }
        EXPECT_LE((key.find('?') != std::string::npos) + (key.find('*') != std::string::npos), 1)
            << "at most one wildcard";
    }
}

TEST_P(EveryCatalog, WildcardKeysAreTheDesignedOnes) {
    const CatalogCase& c = GetParam();
    int stars = 0;
    int questions = 0;
    for (int i = 0; i < c.count; ++i) {
        if (IsStockSound(c.rows[i])) {
            stars += std::strchr(c.rows[i].key, '*') != nullptr;
            questions += std::strchr(c.rows[i].key, '?') != nullptr;
        }
    }
    EXPECT_EQ(stars, c.starKeys);
    EXPECT_EQ(questions, c.questionKeys);
}

INSTANTIATE_TEST_SUITE_P(SoundCatalogs, EveryCatalog, testing::ValuesIn(AllCatalogs()),
                         [](const testing::TestParamInfo<CatalogCase>& info) { return std::string(info.param.name); });

TEST(SoundCatalogs, RowCountsMatchWhatProfilesAndSlotsAssume) {
    EXPECT_EQ(AiboLife1CatalogCount, 51);
    EXPECT_EQ(Ers210CatalogCount, 51);
    EXPECT_EQ(Ers310CatalogCount, 22);
    EXPECT_EQ(Ers220CatalogCount, 14);
    EXPECT_EQ(RecognitionCatalogCount, 174);
    EXPECT_EQ(sizeof(AiboLife1Catalog) / sizeof(CatalogEntry), 51u);
    EXPECT_EQ(sizeof(Ers310Catalog) / sizeof(CatalogEntry), 22u);
    EXPECT_EQ(sizeof(Ers220Catalog) / sizeof(CatalogEntry), 14u);
    EXPECT_EQ(sizeof(RecognitionCatalog) / sizeof(CatalogEntry), 174u);
}

TEST(SoundCatalogs, Ers210HasTheSameRowsAsAiboLife1) {
    for (int i = 0; i < AiboLife1CatalogCount; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(IsStockSound(Ers210Catalog[i]), IsStockSound(AiboLife1Catalog[i]));
        if (IsStockSound(AiboLife1Catalog[i])) {
            EXPECT_STREQ(Ers210Catalog[i].key, AiboLife1Catalog[i].key);
        }
        EXPECT_STREQ(Ers210Catalog[i].label, AiboLife1Catalog[i].label);
    }
}

TEST(SoundCatalogs, AiboLife1MoodKeysAllEndInAOneCharacterTake) {
    for (int i = 27; i <= 44; ++i) {
        const std::string key = AiboLife1Catalog[i].key;
        EXPECT_EQ(key.substr(key.size() - 4), "_x?s") << "row " << i;
    }
    EXPECT_STREQ(AiboLife1Catalog[4].key, "sit_happy_joy3_t?s");
    EXPECT_STREQ(AiboLife1Catalog[1].key, "wake*");
}

TEST(SoundCatalogs, SmallCatalogKeysBelongToTheirSoftware) {
    for (const auto& [rows, count] :
         {std::pair{Ers310Catalog, Ers310CatalogCount}, {Ers220Catalog, Ers220CatalogCount}}) {
        for (int i = 0; i < count; ++i) {
            if (!IsStockSound(rows[i])) {
                continue;
            }
            const std::string key = rows[i].key;
            SCOPED_TRACE(key);
            EXPECT_TRUE(key.rfind("so1_", 0) == 0 || key.rfind("so2_", 0) == 0);
            if (key != "so1_wake*") {
                EXPECT_EQ(key.substr(key.size() - 4), "_x1d");
            } else {
                EXPECT_EQ(i, 1);
            }
        }
    }
}

TEST(SoundCatalogs, DisgustKeepsOneTitleForThreeSounds) {
    EXPECT_STREQ(AiboLife1Catalog[42].label, "Disgust 1");
    EXPECT_STREQ(AiboLife1Catalog[43].label, "Disgust 1");
    EXPECT_STREQ(AiboLife1Catalog[44].label, "Disgust 1");
    EXPECT_STREQ(AiboLife1Catalog[42].key, "down1_dsg1_x?s");
    EXPECT_STREQ(AiboLife1Catalog[43].key, "down1_dsg2_x?s");
    EXPECT_STREQ(AiboLife1Catalog[44].key, "down2_dsg3_x?s");
}

TEST(RecognitionCatalog, KeysAreTopicWordNumberAndVoiceSuffix) {
    for (int i = 0; i < RecognitionCatalogCount; ++i) {
        if (!IsStockSound(RecognitionCatalog[i]) || i == 131) {
            continue;
        }
        const std::string key = RecognitionCatalog[i].key;
        SCOPED_TRACE("row " + std::to_string(i) + ": " + key);
        ASSERT_GE(key.size(), 4u + 1u + 3u + 5u);
        EXPECT_EQ(key.substr(0, 4), "so9_");
        EXPECT_EQ(key.substr(key.size() - 5), "W_x1w");
        const std::string number = key.substr(key.size() - 8, 3);
        const std::string word = key.substr(4, key.size() - 4 - 8);
        for (char ch : number) {
            EXPECT_TRUE(ch >= '0' && ch <= '9');
        }
        for (char ch : word) {
            EXPECT_TRUE(ch >= 'a' && ch <= 'z');
        }
    }
    EXPECT_STREQ(RecognitionCatalog[131].key, "so1_ComicBackGround3_x1w");
}

// Group boundaries are easy to shift by one row; each topic word belongs under one header.
TEST(RecognitionCatalog, EveryTopicSitsUnderItsHeader) {
    const std::map<std::string, std::string> groupOfTopic = {
        {"approach", "My Pink Ball and others"},
        {"communication", "My Pink Ball and others"},
        {"itsshowtime", "My Pink Ball and others"},
        {"appeal", "Playing"},
        {"grope", "Playing"},
        {"supersoccer", "Playing"},
        {"lookaround", "Playing"},
        {"motioninfo", "Playing"},
        {"cancelinfo", "Status"},
        {"systeminfo", "Status"},
        {"tired", "Status"},
        {"touchandfeel", "Interacting"},
        {"playwithhuman", "Interacting"},
        {"postureinfo", "Interacting"},
        {"emotion", "Emotions"},
        {"reflection", "Reactions"},
        {"rememberyou", "Reactions"},
        {"selfcharge", "Self Charge"},
        {"station", "Self Charge"},
        {"voice", "General Voice"},
    };
    std::string header;
    std::map<std::string, int> soundsPerGroup;
    for (int i = 0; i < RecognitionCatalogCount; ++i) {
        if (!IsStockSound(RecognitionCatalog[i])) {
            header = RecognitionCatalog[i].label;
            continue;
        }
        ++soundsPerGroup[header];
        if (i == 131) {
            EXPECT_EQ(header, "Self Charge");
            continue;
        }
        const std::string key = RecognitionCatalog[i].key;
        const std::string word = key.substr(4, key.size() - 4 - 8);
        auto group = groupOfTopic.find(word);
        ASSERT_NE(group, groupOfTopic.end()) << "row " << i << ": " << key;
        EXPECT_EQ(group->second, header) << "row " << i << ": " << key;
    }
    EXPECT_EQ(soundsPerGroup["My Pink Ball and others"], 29);
    EXPECT_EQ(soundsPerGroup["Playing"], 31);
    EXPECT_EQ(soundsPerGroup["Status"], 9);
    EXPECT_EQ(soundsPerGroup["Interacting"], 30);
    EXPECT_EQ(soundsPerGroup["Emotions"], 15);
    EXPECT_EQ(soundsPerGroup["Reactions"], 10);
    EXPECT_EQ(soundsPerGroup["Self Charge"], 26);
    EXPECT_EQ(soundsPerGroup["General Voice"], 16);
}

// Users tell sounds apart by their titles; only the designed pairs share one.
TEST(RecognitionCatalog, OnlyTheDesignedRowsShareALabel) {
    std::map<std::string, std::vector<int>> rowsOfLabel;
    for (int i = 0; i < RecognitionCatalogCount; ++i) {
        rowsOfLabel[RecognitionCatalog[i].label].push_back(i);
    }
    for (const auto& [label, rows] : rowsOfLabel) {
        if (label == "Here I go!") {
            EXPECT_EQ(rows, (std::vector<int>{41, 153}));
        } else if (label == "I'm hungry") {
            EXPECT_EQ(rows, (std::vector<int>{64, 132}));
        } else {
            EXPECT_EQ(rows.size(), 1u) << "\"" << label << "\" labels rows " << testing::PrintToString(rows);
        }
    }
}

// A key plus a label at a position: the rows other parts name or that carry a given text.
struct KnownRow {
    const char* catalog;
    const CatalogEntry* rows;
    int index;
    const char* key;
    const char* label;
};

std::ostream& operator<<(std::ostream& out, const KnownRow& r) {
    return out << r.catalog << "[" << r.index << "]";
}

class KnownRows : public testing::TestWithParam<KnownRow> {};

TEST_P(KnownRows, HoldTheirKeyAndLabel) {
    const KnownRow& r = GetParam();
    ASSERT_TRUE(IsStockSound(r.rows[r.index]));
    EXPECT_STREQ(r.rows[r.index].key, r.key);
    if (r.label != nullptr) {
        EXPECT_STREQ(r.rows[r.index].label, r.label);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SoundCatalogs, KnownRows,
    testing::Values(
        KnownRow{"AiboLife1", AiboLife1Catalog, 1, "wake*", "Wakeup Tune"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 2, "hakken_ball", "See Ball"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 16, "scratch3tys", "Scratch 3"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 18, "ball_txs", "Show me Ball"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 25, "sottoshite1tas", "Reject 2"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 27, "up1_joy1_x?s", "Joy 1"},
        KnownRow{"AiboLife1", AiboLife1Catalog, 50, "lonely2pc2bs", "Lonely 2"},
        KnownRow{"Ers310", Ers310Catalog, 1, "so1_wake*", "Wakeup Tune"},
        KnownRow{"Ers310", Ers310Catalog, 3, "so2_l00nemuiNso2_x1d", "Sleepy"},
        KnownRow{"Ers310", Ers310Catalog, 10, "so2_n00hil1Nso2_x1d", "Hi 7"},
        KnownRow{"Ers310", Ers310Catalog, 14, "so1_tb0givetouchso0_x1d", "Pat my Head 2"},
        KnownRow{"Ers310", Ers310Catalog, 20, "so1_gameno_x1d", "Game No"},
        KnownRow{"Ers220", Ers220Catalog, 1, "so1_wake*", "Wakeup Tune"},
        KnownRow{"Ers220", Ers220Catalog, 5, "so1_hi2dxs_x1d", "Hi 3"},
        KnownRow{"Ers220", Ers220Catalog, 12, "so1_no2xxs_x1d", "No 2"},
        KnownRow{"Recognition", RecognitionCatalog, 1, "so9_approach001W_x1w", "Hey, I think I'll follow you"},
        KnownRow{"Recognition", RecognitionCatalog, 29, "so9_itsshowtime008W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 31, "so9_appeal001W_x1w", "hey, I'm here"},
        KnownRow{"Recognition", RecognitionCatalog, 41, "so9_supersoccer002W_x1w", "Here I go!"},
        KnownRow{"Recognition", RecognitionCatalog, 61, "so9_motioninfo012W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 63, "so9_cancelinfo001W_x1w", "ok ok, I'm stopping now"},
        KnownRow{"Recognition", RecognitionCatalog, 64, "so9_systeminfo001W_x1w", "I'm hungry"},
        KnownRow{"Recognition", RecognitionCatalog, 71, "so9_tired004W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 73, "so9_touchandfeel001W_x1w", "What's this? Let me touch it!"},
        KnownRow{"Recognition", RecognitionCatalog, 102, "so9_postureinfo003W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 104, "so9_emotion001W_x1w", "I'm bored"},
        KnownRow{"Recognition", RecognitionCatalog, 118, "so9_emotion016W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 120, "so9_reflection001W_x1w", "ouch!"},
        KnownRow{"Recognition", RecognitionCatalog, 129, "so9_rememberyou004W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 131, "so1_ComicBackGround3_x1w", "(searching muzak)"},
        KnownRow{"Recognition", RecognitionCatalog, 132, "so9_selfcharge001W_x1w", "I'm hungry"},
        KnownRow{"Recognition", RecognitionCatalog, 153, "so9_selfcharge026W_x1w", "Here I go!"},
        KnownRow{"Recognition", RecognitionCatalog, 156, "so9_station001W_x1w", nullptr},
        KnownRow{"Recognition", RecognitionCatalog, 158, "so9_voice001W_x1w", "alright"},
        KnownRow{"Recognition", RecognitionCatalog, 173, "so9_voice017W_x1w", nullptr}));

} // namespace
