// The built-in stock sound libraries as the build generates them: their records against the
// catalogs, and every tune rendered offline.
#include "SoundFixtures.h"
#include "catalog/SoundCatalogs.h"
#include "platform/MidiRenderer.h"
#include "sounds/StockLibraryReader.h"
#include "stick/ModelProfiles.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

struct BuiltInLibrary {
    const char* name;
    const StockSoundLibrary* library;
    const CatalogEntry* catalog;
    int count;
};

void PrintTo(const BuiltInLibrary& library, std::ostream* out) {
    *out << library.name;
}

const BuiltInLibrary kLibraries[] = {
    {"AiboLife1", &AiboLife1Library, AiboLife1Catalog, AiboLife1CatalogCount},
    {"Ers310", &Ers310Library, Ers310Catalog, Ers310CatalogCount},
    {"Ers210", &Ers210Library, Ers210Catalog, Ers210CatalogCount},
    {"Ers220", &Ers220Library, Ers220Catalog, Ers220CatalogCount},
};

// Every record of a library, in stored order, by walking it the way preview does.
std::vector<StockRecord> AllRecords(const StockSoundLibrary& library) {
    std::vector<StockRecord> records;
    LibraryReader reader{library.bytes, library.size};
    while (reader.size - reader.cursor >= LibraryRecordHeaderSize) {
        int32_t id = ReadLibraryWord(reader);
        int32_t length = ReadLibraryWord(reader);
        if (id == LibraryTerminator || length < 0 || static_cast<size_t>(length) > reader.size - reader.cursor) {
            break;
        }
        StockRecord record{id, {}};
        for (int32_t i = 0; i < length; ++i) {
            record.data.push_back(ReadLibraryByte(reader));
        }
        records.push_back(std::move(record));
    }
    return records;
}

class BuiltInLibraryTest : public ::testing::TestWithParam<BuiltInLibrary> {};

} // namespace

TEST_P(BuiltInLibraryTest, HoldsOneMidiFileForEveryStockSoundOfItsCatalogAndEndsWithItsTerminator) {
    const BuiltInLibrary& built = GetParam();
    std::map<int32_t, int> seen;
    size_t total = 4;
    for (const StockRecord& record : AllRecords(*built.library)) {
        ++seen[record.id];
        ASSERT_GE(record.id, 0);
        ASSERT_LT(record.id, built.count);
        EXPECT_TRUE(IsStockSound(built.catalog[record.id])) << "record for header " << record.id;
        EXPECT_TRUE(IsStandardMidiFile(record.data)) << record.id;
        total += LibraryRecordHeaderSize + record.data.size();
    }
    for (int i = 0; i < built.count; ++i) {
        if (IsStockSound(built.catalog[i])) {
            EXPECT_EQ(seen[i], 1) << built.catalog[i].label << " (" << i << ")";
        }
    }
    // The records fill the library up to the terminator, its last four bytes.
    ASSERT_EQ(total, built.library->size);
    LibraryReader reader{built.library->bytes, total, total - 4, static_cast<uint32_t>(total - 4)};
    EXPECT_EQ(ReadLibraryWord(reader), LibraryTerminator);
}

TEST_P(BuiltInLibraryTest, EveryTuneSoundsForAThirdOfASecondToThreeSeconds) {
    MidiRenderer& renderer = SharedMidiRenderer();
    ASSERT_TRUE(renderer.Load()) << "no General MIDI soundfont at " << DefaultSoundFontPath;
    for (const StockRecord& record : AllRecords(*GetParam().library)) {
        std::optional<PcmAudio> audio = renderer.Render(record.data);
        ASSERT_TRUE(audio.has_value()) << record.id;
        AudibleSpan span = FindAudibleSpan(audio->samples);
        const char* label = GetParam().catalog[record.id].label;
        EXPECT_FALSE(span.Empty()) << label;
        EXPECT_GE(audio->Seconds(), 0.3) << label;
        EXPECT_LE(audio->Seconds(), 3.0) << label;
        // Starts at once, and is loud enough to hear without clipping.
        EXPECT_LT(span.first, AudioOutRate / 20) << label;
        EXPECT_GT(PeakLevel(audio->samples), 4000) << label;
        EXPECT_LT(PeakLevel(audio->samples), 32767) << label;
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, BuiltInLibraryTest, ::testing::ValuesIn(kLibraries),
                         [](const ::testing::TestParamInfo<BuiltInLibrary>& info) {
                             return std::string(info.param.name);
                         });

TEST(BuiltInLibraries, EachProfileWithALibraryFindsEveryStockSoundOfItsCatalog) {
    for (const ModelProfile& profile : ProfileTable) {
        if (profile.stockLibrary == nullptr) {
            continue;
        }
        for (int i = 0; i < profile.catalogCount; ++i) {
            if (IsStockSound(profile.catalog[i])) {
                LibraryReader reader{profile.stockLibrary->bytes, profile.stockLibrary->size};
                EXPECT_TRUE(FindLibraryRecord(reader, i).has_value()) << profile.name << " " << i;
            }
        }
    }
}

TEST(BuiltInLibraries, NoTwoStockSoundsShareATune) {
    std::set<std::vector<uint8_t>> tunes;
    size_t count = 0;
    for (const StockSoundLibrary* library : {&AiboLife1Library, &Ers310Library, &Ers220Library}) {
        for (const StockRecord& record : AllRecords(*library)) {
            tunes.insert(record.data);
            ++count;
        }
    }
    EXPECT_EQ(tunes.size(), count);
}
