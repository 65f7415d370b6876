// Feeds decompressed configuration containers to the record-by-record rewrite, with the sound
// name substitution of a save as the callback, from memory to memory.
#include "FuzzCheck.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "stick/ModelProfiles.h"
#include "writer/MwcRewriter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Fuzzing builds may define NDEBUG, so the checks must not vanish with assert.

const CatalogEntry FuzzCatalog[] = {
    {nullptr, "Joy"},         {"up1_joy1_x?s", "Joy sound"}, {"wake*", "Waking up"}, {"hakken_ball", "Ball found"},
    {"abc*", "Short prefix"},
};

std::vector<uint8_t> Rewrite(const std::vector<uint8_t>& input, int& result, const MwcTextCallback& callback) {
    MemorySource source(input.data(), input.size());
    MemorySink sink;
    result = RewriteMwcEntries(source, &sink, callback);
    return sink.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelProfile profile{};
    profile.catalog = FuzzCatalog;
    profile.catalogCount = static_cast<int32_t>(std::size(FuzzCatalog));
    CustomizationState state;
    state.ActiveProfile = &profile;
    state.Assignments = AssignmentTable{std::nullopt, std::string("Bark.WAV"), std::string("Tune.MID"), std::nullopt,
                                        std::string("my.song.wav")};

    int records = 0;
    const MwcTextCallback substitute = SoundNameSubstitution(state);
    auto counting = [&](uint32_t blockId, uint32_t kind, char* text) {
        ++records;
        Check(std::strlen(text) <= MaxMwcTextLength);
        substitute(blockId, kind, text);
    };

    std::vector<uint8_t> input(data, data + size);
    int written = 0;
    std::vector<uint8_t> output = Rewrite(input, written, counting);
    Check(written == 0 || written == -1);
    Check(state.ModifiedEntryCount <= records);

    // A pass that only reads fails no more often than one that writes.
    const int writtenRecords = records;
    records = 0;
    state.ModifiedEntryCount = 0;
    MemorySource source(input.data(), input.size());
    const int readOnly = RewriteMwcEntries(source, nullptr, counting);
    if (written == 0) {
        Check(readOnly == 0);
        Check(records == writtenRecords);

        // What was written is a well-formed container that copies onto itself unchanged.
        int again = -1;
        std::vector<uint8_t> copy = Rewrite(output, again, [](uint32_t, uint32_t, char*) {});
        Check(again == 0);
        Check(copy == output);
        Check(output.size() <= input.size() + static_cast<size_t>(writtenRecords) * MaxMwcTextLength);
    }
    return 0;
}
