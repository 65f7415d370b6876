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

// The pitches struck at the first and at the last onset of a one-track MIDI file, the highest
// of each chord.
struct Contour {
    int first = -1;
    int last = -1;
};

Contour MelodyContour(const std::vector<uint8_t>& midi) {
    Contour contour;
    size_t pos = 22; // the first event of the first track
    long tick = 0;
    long firstOnset = -1;
    long lastOnset = -1;
    uint8_t status = 0;
    while (pos < midi.size()) {
        uint32_t delta = 0;
        while (pos < midi.size() && (midi[pos] & 0x80) != 0) {
            delta = (delta << 7) | (midi[pos++] & 0x7F);
        }
        delta = (delta << 7) | midi[pos++];
        tick += delta;
        if (midi[pos] & 0x80) {
            status = midi[pos++];
        }
        if (status == 0xFF) {
            uint8_t type = midi[pos++];
            pos += 1 + midi[pos];
            if (type == 0x2F) {
                break;
            }
            continue;
        }
        int kind = status & 0xF0;
        int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (kind == 0x90 && midi[pos + 1] > 0) {
            int pitch = midi[pos];
            if (firstOnset < 0) {
                firstOnset = tick;
            }
            if (tick == firstOnset) {
                contour.first = std::max(contour.first, pitch);
            }
            contour.last = tick == lastOnset ? std::max(contour.last, pitch) : pitch;
            lastOnset = tick;
        }
        pos += static_cast<size_t>(dataBytes);
    }
    return contour;
}

class BuiltInLibraryTest : public ::testing::TestWithParam<BuiltInLibrary> {};

} // namespace

TEST_P(BuiltInLibraryTest, HoldsOneMidiFileForEveryStockSoundOfItsCatalog) {
    const BuiltInLibrary& built = GetParam();
    std::map<int32_t, int> seen;
    for (const StockRecord& record : AllRecords(*built.library)) {
        ++seen[record.id];
        ASSERT_GE(record.id, 0);
        ASSERT_LT(record.id, built.count);
        EXPECT_TRUE(IsStockSound(built.catalog[record.id])) << "record for header " << record.id;
        EXPECT_TRUE(IsStandardMidiFile(record.data)) << record.id;
    }
    for (int i = 0; i < built.count; ++i) {
        if (IsStockSound(built.catalog[i])) {
            EXPECT_EQ(seen[i], 1) << built.catalog[i].label << " (" << i << ")";
        }
    }
}

TEST_P(BuiltInLibraryTest, EndsWithItsTerminatorAtItsLastByte) {
    const StockSoundLibrary& library = *GetParam().library;
    size_t total = 4;
    for (const StockRecord& record : AllRecords(library)) {
        total += LibraryRecordHeaderSize + record.data.size();
    }
    ASSERT_EQ(total, library.size);
    LibraryReader reader{library.bytes, library.size, library.size - 4, static_cast<uint32_t>(library.size - 4)};
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

TEST(BuiltInLibraries, Ers210IsItsOwnContainerWithTheAiboLife1Tunes) {
    EXPECT_NE(Ers210Library.bytes, AiboLife1Library.bytes);
    ASSERT_EQ(Ers210Library.size, AiboLife1Library.size);
    EXPECT_TRUE(std::equal(Ers210Library.bytes, Ers210Library.bytes + Ers210Library.size, AiboLife1Library.bytes));
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
    EXPECT_EQ(count, 48u + 19u + 11u);
    EXPECT_EQ(tunes.size(), count);
}

TEST(BuiltInLibraries, JoyRisesAndSadnessFalls) {
    std::map<int32_t, std::vector<uint8_t>> byId;
    for (StockRecord& record : AllRecords(AiboLife1Library)) {
        byId[record.id] = std::move(record.data);
    }
    for (int i = 0; i < AiboLife1CatalogCount; ++i) {
        std::string label = AiboLife1Catalog[i].label;
        Contour contour = MelodyContour(byId[i]);
        if (label.rfind("Joy ", 0) == 0) {
            EXPECT_GT(contour.last, contour.first) << label;
        }
        if (label.rfind("Sadness ", 0) == 0) {
            EXPECT_LT(contour.last, contour.first) << label;
        }
    }
}
