// Feeds decompressed configuration containers to the record-by-record rewrite, with the sound
// name substitution of a save as the callback, from memory to memory, and holds what it writes to
// the container's layout as read here on its own.
#include "FuzzCheck.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Endian.h"
#include "stick/ModelProfiles.h"
#include "writer/MwcRewriter.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

const CatalogEntry FuzzCatalog[] = {
    {nullptr, "Joy"},         {"up1_joy1_x?s", "Joy sound"}, {"wake*", "Waking up"}, {"hakken_ball", "Ball found"},
    {"abc*", "Short prefix"},
};

// A counted record: where its length byte lies, its kind and its text as stored.
struct Record {
    size_t at;
    uint32_t kind;
    std::string text;
};

// The counted records in order, and in `end` where the last one ends; nothing when the container
// is damaged or ends before its counts are met. A count of zero or less counts nothing.
std::optional<std::vector<Record>> Layout(const std::vector<uint8_t>& b, size_t& end) {
    const auto at = [&](size_t pos, size_t n, const char* magic) {
        return pos + n <= b.size() && std::memcmp(&b[pos], magic, 4) == 0;
    };
    if (!at(0, 16, "MWCM") || ReadLE32(&b[4]) != 1) {
        return std::nullopt;
    }
    std::vector<Record> records;
    end = 16;
    for (int32_t block = 0, blocks = ReadLE32Signed(&b[8]); block < blocks; ++block) {
        if (!at(end, 12, "MCID")) {
            return std::nullopt;
        }
        end += 12;
        for (int32_t i = 0, count = ReadLE32Signed(&b[end - 4]); i < count; ++i, end += 25 + b[end + 24]) {
            if (!at(end, 25, "CMAC") || b[end + 24] < 2 || b[end + 24] > 99 || end + 25 + b[end + 24] > b.size()) {
                return std::nullopt;
            }
            records.push_back({end + 24, ReadLE32(&b[end + 4]), std::string(&b[end + 25], &b[end + 25] + b[end + 24])});
        }
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ModelProfile profile{"", {}, 0, "", "", FuzzCatalog, static_cast<int32_t>(std::size(FuzzCatalog)), nullptr};
    const std::vector<uint8_t> input(data, data + size);
    size_t end = 0;
    const std::optional<std::vector<Record>> layout = Layout(input, end);
    // A text is written up to its first zero byte, which must leave two bytes at least.
    const bool writable = layout && std::all_of(layout->begin(), layout->end(),
                                                [](const Record& r) { return std::strlen(r.text.c_str()) >= 2; });
    const AssignmentTable none(std::size(FuzzCatalog));
    const AssignmentTable some = {std::nullopt, "Bark.WAV", "Tune.MID", std::nullopt, "my.song.wav"};
    for (const AssignmentTable* assignments : {&none, &some}) {
        CustomizationState state{&profile, *assignments};
        MemorySource source(input.data(), input.size()), again(input.data(), input.size());
        Check(RewriteMwcEntries(source, nullptr, SubstituteSoundName(state)) == (layout ? 0 : -1));
        state.ModifiedEntryCount = 0;
        MemorySink sink;
        Check(RewriteMwcEntries(again, &sink, SubstituteSoundName(state)) == (writable ? 0 : -1));
        if (!writable) {
            return 0;
        }
        // The output is the input up to the end of its last counted record, but for the texts and
        // their length bytes: each text cut at its zero byte, or a sound name made a custom sound
        // name by an assignment and counted, and nothing else.
        const std::vector<uint8_t>& output = sink.Bytes();
        size_t outputEnd = 0;
        const std::optional<std::vector<Record>> written = Layout(output, outputEnd);
        Check(written && written->size() == layout->size() && outputEnd == output.size());
        std::vector<uint8_t> expected;
        int changed = 0;
        for (size_t i = 0, from = 0; i <= layout->size(); ++i) {
            const size_t to = i < layout->size() ? (*layout)[i].at : end;
            expected.insert(expected.end(), input.begin() + long(from), input.begin() + long(to));
            if (i < layout->size()) {
                const std::string& text = (*written)[i].text;
                changed += text != (*layout)[i].text.c_str();
                Check(text == (*layout)[i].text.c_str() ||
                      ((*layout)[i].kind == SoundNameRecordKind && text.starts_with("u_") && assignments == &some));
                expected.push_back(static_cast<uint8_t>(text.size()));
                expected.insert(expected.end(), text.begin(), text.end());
                from = to + 1 + (*layout)[i].text.size();
            }
        }
        Check(output == expected && state.ModifiedEntryCount == changed);
    }
    return 0;
}
