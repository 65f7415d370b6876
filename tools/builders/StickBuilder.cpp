#include "StickBuilder.h"

#include "TempDir.h"
#include "catalog/SoundCatalogs.h"
#include "platform/Endian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kRhapsodyBlockSize = 96;

void AppendMagic(std::vector<uint8_t>& out, const std::string& magic) {
    for (size_t i = 0; i < 4; ++i) {
        out.push_back(i < magic.size() ? static_cast<uint8_t>(magic[i]) : 0);
    }
}

void AppendLE32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    WriteLE32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The sound names a configuration could use for one key: a "?" filled in two ways, a "*"
// ending left off and filled with a suffix, or the key itself.
std::vector<std::string> ConcreteNames(const std::string& key) {
    size_t any = key.find('?');
    if (any != std::string::npos) {
        std::string one = key;
        std::string two = key;
        one[any] = '1';
        two[any] = '2';
        return {one, two};
    }
    size_t rest = key.find('*');
    if (rest != std::string::npos) {
        std::string prefix = key.substr(0, rest);
        return {prefix, prefix + "_nxs"};
    }
    return {key};
}

MwcRecord MakeRecord(uint32_t kind, std::string text, uint8_t seed) {
    MwcRecord record;
    record.kind = kind;
    record.text = std::move(text);
    for (size_t i = 0; i < record.details.size(); ++i) {
        record.details[i] = static_cast<uint8_t>(seed + 17 * i);
    }
    return record;
}

int TypicalModel(const ModelProfile& profile) {
    if (profile.model != 0) {
        return profile.model;
    }
    return std::strstr(profile.mwcPath, "ERS-310") != nullptr ? 310 : 210;
}

} // namespace

std::vector<uint8_t> BuildVersionFile(const VersionLayout& layout) {
    std::vector<uint8_t> out;
    AppendMagic(out, layout.firstMagic);
    AppendLE32(out, layout.firstValue);
    AppendMagic(out, layout.commentMagic);
    AppendLE32(out, layout.commentLength.value_or(static_cast<uint32_t>(layout.comment.size())));
    out.insert(out.end(), layout.comment.begin(), layout.comment.end());
    AppendMagic(out, layout.secondMagic);
    AppendLE32(out, layout.secondValue);
    out.insert(out.end(), layout.code.begin(), layout.code.end());
    out.insert(out.end(), layout.extra.begin(), layout.extra.end());
    out.insert(out.end(), layout.trailing.begin(), layout.trailing.end());
    if (layout.truncateAt && *layout.truncateAt < out.size()) {
        out.resize(*layout.truncateAt);
    }
    return out;
}

std::vector<uint8_t> MakeRhapsodyBlock(const std::string& modelText, const std::string& magic) {
    std::vector<uint8_t> block(kRhapsodyBlockSize, 0);
    // The first 64 bytes are never examined; give them some text as a real file would have.
    const char filler[] = "OPEN-R robot information block ";
    for (size_t i = 0; i < 64; ++i) {
        block[i] = static_cast<uint8_t>(filler[i % (sizeof filler - 1)]);
    }
    for (size_t i = 0; i < 4; ++i) {
        block[64 + i] = i < magic.size() ? static_cast<uint8_t>(magic[i]) : 0;
    }
    for (size_t i = 0; i < modelText.size() && 68 + i < block.size(); ++i) {
        block[68 + i] = static_cast<uint8_t>(modelText[i]);
    }
    return block;
}

std::vector<uint8_t> ScrambleRhapsody(const std::vector<uint8_t>& plainBlock, size_t fileSize) {
    std::vector<uint8_t> out = plainBlock;
    out.resize(kRhapsodyBlockSize, 0);
    for (size_t i = 0; i < kRhapsodyBlockSize; ++i) {
        out[i] ^= RhapsodyKey[i];
    }
    out.resize(fileSize, 0);
    return out;
}

std::vector<uint8_t> RhapsodyForModel(int model) {
    return ScrambleRhapsody(MakeRhapsodyBlock(std::to_string(model)));
}

MwcContainer TypicalContainer(const CatalogEntry* catalog, int count) {
    MwcContainer container;
    container.reserved = 0x00020001;

    MwcBlock sounds;
    sounds.blockId = 0x100;
    std::string firstExactKey;
    for (int i = 0; i < count; ++i) {
        if (catalog[i].key == nullptr) {
            continue;
        }
        std::vector<std::string> names = ConcreteNames(catalog[i].key);
        if (firstExactKey.empty() && names.size() == 1) {
            firstExactKey = names.front();
        }
        for (const std::string& name : names) {
            sounds.records.push_back(MakeRecord(SoundRecordKind, name, static_cast<uint8_t>(i)));
        }
    }

    MwcBlock others;
    others.blockId = 0x200;
    others.records.push_back(MakeRecord(SoundRecordKind, "bgm_theme01", 0xA0));
    others.records.push_back(MakeRecord(SoundRecordKind, "zz_unknown_sound", 0xA1));
    others.records.push_back(MakeRecord(SoundRecordKind, "ab", 0xA2)); // shorter than any key
    others.records.push_back(MakeRecord(0x1001, "motion_sit_down", 0xA3));
    if (!sounds.records.empty()) {
        // Key-like texts in records that do not name a sound.
        others.records.push_back(MakeRecord(0x2011, sounds.records.front().text, 0xA4));
        others.records.push_back(MakeRecord(0x0010, sounds.records.back().text, 0xA5));
    }

    MwcBlock repeats;
    repeats.blockId = 0x300;
    if (!firstExactKey.empty()) {
        repeats.records.push_back(MakeRecord(SoundRecordKind, firstExactKey, 0xB0));
    }
    repeats.records.push_back(MakeRecord(0x3000, "led_pattern_happy", 0xB1));

    container.blocks = {sounds, others, repeats};
    return container;
}

MwcContainer TypicalContainer(const ModelProfile& profile) {
    return TypicalContainer(profile.catalog, profile.catalogCount);
}

StickBuilder::StickBuilder(const ModelProfile& profile) {
    m_options.profile = &profile;
    VersionLayout version;
    version.code = profile.softwareCode;
    m_options.version = version;
    m_options.rhapsody = RhapsodyForModel(TypicalModel(profile));
    m_options.mwc = GzipBytes(BuildContainer(TypicalContainer(profile)));
}

std::string StickBuilder::HostPath(const std::string& root, const std::string& stickPath) const {
    std::string relative = stickPath;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (m_options.hostName != nullptr) {
        relative = m_options.hostName(relative);
    }
    return root + "/" + relative;
}

bool StickBuilder::Build(const std::string& root) const {
    const StickOptions& o = m_options;
    const ModelProfile& profile = *o.profile;
    const std::string mwcPath = profile.mwcPath;
    const std::string dataFolder = profile.dataFolder;
    const std::string stem = mwcPath.substr(0, mwcPath.size() - 4);

    bool ok = MakeFolders(HostPath(root, "OPEN-R\\APP")) && MakeFolders(ParentOf(HostPath(root, mwcPath))) &&
              MakeFolders(HostPath(root, dataFolder));
    auto put = [&](const std::string& stickPath, const std::vector<uint8_t>& bytes) {
        std::string host = HostPath(root, stickPath);
        ok = MakeFolders(ParentOf(host)) && WriteFileBytes(host, bytes) && ok;
    };

    if (o.memstickName) {
        put(*o.memstickName, {});
    }
    if (o.version) {
        put("OPEN-R\\APP\\VERSION", BuildVersionFile(*o.version));
    }
    if (o.rhapsody) {
        put("OPEN-R\\APP\\DATA\\P\\RHAPSODY", *o.rhapsody);
    }
    if (o.mwc) {
        put(mwcPath, *o.mwc);
    }
    if (o.backup) {
        put(stem + ".ORG", *o.backup);
    }
    if (o.record) {
        put(stem + ".CUS", std::vector<uint8_t>(o.record->begin(), o.record->end()));
    }
    if (o.motionArchive) {
        put(dataFolder + "\\MOTION.ODA", *o.motionArchive);
    }
    if (o.ledArchive) {
        put(dataFolder + "\\LED.ODA", *o.ledArchive);
    }
    if (o.audioArchive) {
        put(dataFolder + "\\AUDIO.ODA", *o.audioArchive);
    }
    return ok;
}
