#pragma once
// Builds a memory stick folder for any profile, for tests, benchmarks and the demo
// stick: memstick.ind, OPEN-R\APP\VERSION, the model file, the profile's gzipped configuration
// and its data folder, each present, absent or deliberately broken as a test needs.
#include "ContainerBuilder.h"
#include "stick/ModelProfiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The VERSION file. Each field after `extra` breaks one rule of the layout when changed.
struct VersionLayout {
    SoftwareCode code{0x00, 0x01, 0x02, 0xFF};
    std::string comment = "Tonewright test stick";
    std::array<uint8_t, 4> extra{0x00, 0x02, 0x00, 0x00}; // the version bytes after the code

    std::string firstMagic = "VERS"; // written as exactly four bytes, padded with zeros
    uint32_t firstValue = 1;
    std::string commentMagic = "COME";
    std::optional<uint32_t> commentLength; // written instead of comment.size()
    std::string secondMagic = "VERS";
    uint32_t secondValue = 8;
    std::optional<size_t> truncateAt; // the file is cut to this many bytes
    std::vector<uint8_t> trailing;    // bytes after the second block, which readers ignore
};

std::vector<uint8_t> BuildVersionFile(const VersionLayout& layout);

// The model file: the 96-byte block in plain text, with `magic` at 64 and `modelText` from 68
// (zero padded; longer text is cut at the block's end).
std::vector<uint8_t> MakeRhapsodyBlock(const std::string& modelText, const std::string& magic = "ERS-");
// Scrambles a plain block with RhapsodyKey and sizes the file: 97 bytes is the valid size,
// anything else is cut or padded with zeros.
std::vector<uint8_t> ScrambleRhapsody(const std::vector<uint8_t>& plainBlock, size_t fileSize = 97);
// A valid model file naming ERS-<model>.
std::vector<uint8_t> RhapsodyForModel(int model);

// A container that names the catalog's stock sounds as a robot's configuration does: every
// key as records of kind 0x2010 (wildcard keys in two concrete forms each, one exact key twice),
// plus sound names no key matches and records of other kinds that carry key-like texts.
MwcContainer TypicalContainer(const CatalogEntry* catalog, int count);
MwcContainer TypicalContainer(const ModelProfile& profile);

struct StickOptions {
    const ModelProfile* profile = &ProfileTable[0];

    std::optional<std::string> memstickName = std::string("MEMSTICK.IND"); // absent: no file
    std::optional<VersionLayout> version;                                  // absent: no VERSION file
    std::optional<std::vector<uint8_t>> rhapsody;                          // absent: no model file
    std::optional<std::vector<uint8_t>> mwc;                               // the file as stored (gzipped); absent: none
    std::optional<std::vector<uint8_t>> backup;                            // the .ORG beside the .MWC
    std::optional<std::string> record;                                     // the .CUS beside the .MWC
    std::optional<std::vector<uint8_t>> motionArchive;                     // MOTION.ODA in the data folder
    std::optional<std::vector<uint8_t>> ledArchive;                        // LED.ODA
    std::optional<std::vector<uint8_t>> audioArchive;                      // AUDIO.ODA
    std::string (*hostName)(std::string) = nullptr;                        // a stick path as the host spells it
};

class StickBuilder {
public:
    // A valid stick for the profile: its code in VERSION, a model file naming its model (for
    // profiles that fit any model, the robot the software was made for: 310 or 210) and the
    // gzip of its TypicalContainer.
    explicit StickBuilder(const ModelProfile& profile = ProfileTable[0]);

    StickBuilder& Version(const VersionLayout& layout) { return Set(&StickOptions::version, layout); }
    StickBuilder& NoVersion() { return Set(&StickOptions::version, std::nullopt); }
    StickBuilder& MemstickName(const std::string& name) { return Set(&StickOptions::memstickName, name); }
    StickBuilder& NoMemstick() { return Set(&StickOptions::memstickName, std::nullopt); }
    StickBuilder& Model(int model) { return Set(&StickOptions::rhapsody, RhapsodyForModel(model)); }
    StickBuilder& RhapsodyBytes(std::vector<uint8_t> bytes) { return Set(&StickOptions::rhapsody, std::move(bytes)); }
    StickBuilder& NoRhapsody() { return Set(&StickOptions::rhapsody, std::nullopt); }
    StickBuilder& Container(const MwcContainer& container) {
        return Set(&StickOptions::mwc, GzipBytes(BuildContainer(container)));
    }
    StickBuilder& MwcBytes(std::vector<uint8_t> bytes) { return Set(&StickOptions::mwc, std::move(bytes)); }
    StickBuilder& NoMwc() { return Set(&StickOptions::mwc, std::nullopt); }
    StickBuilder& Backup(std::vector<uint8_t> bytes) { return Set(&StickOptions::backup, std::move(bytes)); }
    StickBuilder& Record(std::string text) { return Set(&StickOptions::record, std::move(text)); }
    StickBuilder& MotionArchive(std::vector<uint8_t> bytes) {
        return Set(&StickOptions::motionArchive, std::move(bytes));
    }
    StickBuilder& LedArchive(std::vector<uint8_t> bytes) { return Set(&StickOptions::ledArchive, std::move(bytes)); }
    StickBuilder& AudioArchive(std::vector<uint8_t> bytes) {
        return Set(&StickOptions::audioArchive, std::move(bytes));
    }
    StickBuilder& HostNames(std::string (*spell)(std::string)) { return Set(&StickOptions::hostName, spell); }

    StickOptions& Options() { return m_options; }
    const StickOptions& Options() const { return m_options; }

    // Writes the stick into `root`, which is created if missing. False when a file could not
    // be written.
    bool Build(const std::string& root) const;

    // Where a stick path ("OPEN-R\MW\CONF\ERS-210.MWC") lands in a stick built at `root`,
    // spelled as hostName spells it.
    std::string HostPath(const std::string& root, const std::string& stickPath) const;

private:
    template <class Field, class Value> StickBuilder& Set(Field StickOptions::*field, Value&& value) {
        m_options.*field = std::forward<Value>(value);
        return *this;
    }

    StickOptions m_options;
};
