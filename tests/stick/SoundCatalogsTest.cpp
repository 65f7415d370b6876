#include "catalog/SoundCatalogs.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

// Rows are identities shared with the tree, the assignment table and the stock libraries, so the
// tables must not be writable through their declarations.
static_assert(std::is_const_v<std::remove_reference_t<decltype(AiboLife1Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(Ers310Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(Ers220Catalog[0])>>);
static_assert(std::is_const_v<std::remove_reference_t<decltype(RecognitionCatalog[0])>>);

namespace {

struct CatalogCase {
    const char* name;
    const CatalogEntry* rows;
    int count;
    int expectedCount;
    std::map<int, std::string> headers;
    std::map<std::string, std::vector<int>> sharedLabels; // the only labels on more than one row
    std::vector<std::pair<int, std::string>> knownKeys;   // rows that other parts and users name
};

std::ostream& operator<<(std::ostream& out, const CatalogCase& c) {
    return out << c.name;
}

class EveryCatalog : public testing::TestWithParam<CatalogCase> {};

TEST_P(EveryCatalog, HasItsRowsHeadersAndKeysInTheShapeTheProgramReliesOn) {
    const CatalogCase& c = GetParam();
    ASSERT_EQ(c.count, c.expectedCount);
    std::set<std::string> keys;
    std::map<std::string, std::vector<int>> rowsOfLabel;
    for (int i = 0; i < c.count; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const CatalogEntry& row = c.rows[i];
        ASSERT_NE(row.label, nullptr);
        EXPECT_GE(std::strlen(row.label), 1u);
        EXPECT_LE(std::strlen(row.label), 52u) << row.label;
        rowsOfLabel[row.label].push_back(i);
        const auto header = c.headers.find(i);
        EXPECT_EQ(IsStockSound(row), header == c.headers.end());
        if (!IsStockSound(row)) {
            EXPECT_EQ(header == c.headers.end() ? "" : header->second, row.label);
            continue;
        }
        // Unique, so a record line selects one row; 5 to 25 characters; the rewrite compares the
        // first four literally; at most one wildcard, "?" only next-to-last, "*" only last.
        const std::string key = row.key;
        EXPECT_TRUE(keys.insert(key).second) << "duplicate key " << key;
        EXPECT_GE(key.size(), 5u) << key;
        EXPECT_LE(key.size(), 25u) << key;
        EXPECT_EQ(key.find_first_of("?*"), key.find_first_of("?*", 4)) << key;
        for (size_t p = 0; p < key.size(); ++p) {
            const unsigned char ch = static_cast<unsigned char>(key[p]);
            EXPECT_TRUE(std::isalnum(ch) || ch == '_' || (ch == '?' && p == key.size() - 2) ||
                        (ch == '*' && p == key.size() - 1))
                << key << " at " << p;
        }
        EXPECT_FALSE(key.find('?') != std::string::npos && key.find('*') != std::string::npos) << key;
    }
    std::erase_if(rowsOfLabel, [](const auto& entry) { return entry.second.size() == 1; });
    EXPECT_EQ(rowsOfLabel, c.sharedLabels);
    for (const auto& [index, key] : c.knownKeys) {
        EXPECT_STREQ(c.rows[index].key, key.c_str()) << "row " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SoundCatalogs, EveryCatalog,
    testing::Values(CatalogCase{"AiboLife1",
                                AiboLife1Catalog,
                                AiboLife1CatalogCount,
                                51,
                                {{0, "AIBO GENERAL"}, {17, "AIBO WANTS"}, {26, "AIBO MOODS"}},
                                {{"Disgust 1", {42, 43, 44}}},
                                {{1, "wake*"}, {2, "hakken_ball"}, {27, "up1_joy1_x?s"}, {43, "down1_dsg2_x?s"}}},
                    CatalogCase{"Ers310",
                                Ers310Catalog,
                                Ers310CatalogCount,
                                22,
                                {{0, "AIBO GENERAL"}, {11, "AIBO WANTS"}, {21, "AIBO MOODS - not yet implemented"}},
                                {},
                                {{1, "so1_wake*"}}},
                    CatalogCase{"Ers220",
                                Ers220Catalog,
                                Ers220CatalogCount,
                                14,
                                {{0, "AIBO GENERAL"}, {6, "AIBO WANTS"}, {13, "AIBO MOODS - not yet implemented"}},
                                {},
                                {{1, "so1_wake*"}}},
                    CatalogCase{
                        "Recognition",
                        RecognitionCatalog,
                        RecognitionCatalogCount,
                        174,
                        {{0, "My Pink Ball and others"},
                         {30, "Playing"},
                         {62, "Status"},
                         {72, "Interacting"},
                         {103, "Emotions"},
                         {119, "Reactions"},
                         {130, "Self Charge"},
                         {157, "General Voice"}},
                        {{"Here I go!", {41, 153}}, {"I'm hungry", {64, 132}}},
                        {{1, "so9_approach001W_x1w"}, {131, "so1_ComicBackGround3_x1w"}, {173, "so9_voice017W_x1w"}}}),
    [](const testing::TestParamInfo<CatalogCase>& info) { return std::string(info.param.name); });

} // namespace
