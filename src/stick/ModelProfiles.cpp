#include "stick/ModelProfiles.h"

#include "Resource.h"
#include "app/CustomizationState.h"
#include "catalog/SoundCatalogs.h"
#include "platform/ByteStream.h"
#include "platform/Dialog.h"
#include "platform/Endian.h"
#include "platform/Prompt.h"
#include "platform/StickPath.h"
#include "sounds/StockLibrary.h"

#include <climits>
#include <cstring>

// The order matters: SelectProfile takes the first row that fits, so a row that accepts any
// model must not come before rows of the same code that need a particular one.
constinit const ModelProfile ProfileTable[ProfileCount] = {
    {"AiboLife 1",
     {0x00, 0x01, 0x02, 0xFF},
     0,
     "OPEN-R\\MW\\CONF\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P",
     AiboLife1Catalog,
     AiboLife1CatalogCount,
     &AiboLife1Library},
    {"AiboLife 310",
     {0x00, 0x01, 0x0B, 0xFF},
     0,
     "OPEN-R\\MW\\CONF\\ERS-310.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-31X",
     Ers310Catalog,
     Ers310CatalogCount,
     &Ers310Library},
    {"AiboLife 2 (210)",
     {0x00, 0x01, 0x10, 0xFF},
     210,
     "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-210",
     Ers210Catalog,
     Ers210CatalogCount,
     &Ers210Library},
    {"Explorer (210)",
     {0x00, 0x01, 0x11, 0xFF},
     210,
     "OPEN-R\\MW\\CONF\\ERS-210\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-210",
     Ers210Catalog,
     Ers210CatalogCount,
     &Ers210Library},
    {"AiboLife 2 (220)",
     {0x00, 0x01, 0x10, 0xFF},
     220,
     "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-220",
     Ers220Catalog,
     Ers220CatalogCount,
     &Ers220Library},
    {"Explorer (220)",
     {0x00, 0x01, 0x11, 0xFF},
     220,
     "OPEN-R\\MW\\CONF\\ERS-220\\ERS-220.MWC",
     "OPEN-R\\MW\\DATA\\P\\ERS-220",
     Ers220Catalog,
     Ers220CatalogCount,
     &Ers220Library},
    {"Recognition (210)",
     {0x00, 0x01, 0x30, 0xFF},
     0,
     "OPEN-R\\MW\\CONF\\ERS-210.MWC",
     "OPEN-R\\MW\\DATA\\P",
     RecognitionCatalog,
     RecognitionCatalogCount,
     nullptr},
};

namespace {

constexpr std::array<uint8_t, 96> MakeRhapsodyKey() {
    std::array<uint8_t, 96> key{};
    for (size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<uint8_t>(0x5A + 29 * i);
    }
    return key;
}

constexpr size_t kRhapsodyFileSize = 97;
constexpr size_t kRhapsodyBlockSize = 96;
constexpr size_t kModelMagicOffset = 64;
constexpr size_t kModelNumberOffset = 68;

bool IsSpace(uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a decimal number as atoi does, but only within [p, end) and without overflowing: a
// number too large for an int saturates, which fits no profile row just as any odd model does.
int ParseDecimal(const uint8_t* p, const uint8_t* end) {
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT_MAX) + 1) {
            value = static_cast<int64_t>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

bool SameSoftware(const SoftwareCode& a, const SoftwareCode& b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// The first row of the code that fits the model; codeMatched tells whether any row had the code.
const ModelProfile* FindProfile(const SoftwareCode& code, int model, bool& codeMatched) {
    codeMatched = false;
    for (const ModelProfile& row : ProfileTable) {
        if (!SameSoftware(row.softwareCode, code)) {
            continue;
        }
        codeMatched = true;
        if (row.model == 0 || row.model == model) {
            return &row;
        }
    }
    return nullptr;
}

// 210 or 220 as the owner answers, 0 when they cancel.
int AskRobotModel() {
    switch (AskChoice("Which AIBO is this memory stick for?", {"ERS-210", "ERS-220", "Cancel"})) {
    case 0:
        return 210;
    case 1:
        return 220;
    default:
        return 0;
    }
}

} // namespace

extern const std::array<uint8_t, 96> RhapsodyKey = MakeRhapsodyKey();

int ParseRobotModel(ByteSource& source) {
    if (source.Size() != static_cast<int64_t>(kRhapsodyFileSize) || !source.Seek(0)) {
        return 0;
    }
    uint8_t block[kRhapsodyBlockSize];
    if (!ReadItem(source, block, sizeof block)) {
        return 0;
    }
    for (size_t offset = 0; offset < sizeof block; offset += 4) {
        WriteLE32(block + offset, ReadLE32(block + offset) ^ ReadLE32(RhapsodyKey.data() + offset));
    }
    if (std::memcmp(block + kModelMagicOffset, "ERS-", 4) != 0) {
        return 0;
    }
    return ParseDecimal(block + kModelNumberOffset, block + sizeof block);
}

int ReadRobotModel() {
    std::unique_ptr<FileSource> file = FileSource::Open(ResolveStickPath("OPEN-R\\APP\\DATA\\P\\RHAPSODY"));
    if (!file) {
        return 0;
    }
    return ParseRobotModel(*file);
}

bool SelectProfile(CustomizationState& state, const SoftwareCode& code, int model) {
    bool codeMatched = false;
    const ModelProfile* chosen = FindProfile(code, model, codeMatched);
    if (chosen == nullptr && !codeMatched) {
        ShowMessage("That memory stick is not supported by Tonewright");
        return false;
    }
    if (chosen == nullptr) {
        ShowMessage("This stick supports multiple AIBO models\n"
                    "Please run that memory stick in your AIBO first,\n"
                    "then press the chest pause button");
        // A real robot's model file is scrambled with a key we do not have, so running the stick in
        // the robot cannot help: the owner knows the model, and is asked.
        chosen = FindProfile(code, AskRobotModel(), codeMatched);
        if (chosen == nullptr) {
            return false;
        }
    }
    state.ActiveProfile = chosen;
    if (auto* dlg = dynamic_cast<CDialog*>(MainWindow())) {
        dlg->SetDlgItemText(IDC_PROFILE_NAME, chosen->name);
    }
    return true;
}
