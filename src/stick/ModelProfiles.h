#pragma once
// The supported robot software and models, and the model recorded on the stick.
#include <array>
#include <cstddef>
#include <cstdint>

struct CatalogEntry;
struct CustomizationState;
struct StockSoundLibrary;
class ByteSource;

// Four bytes from the stick's VERSION file; the first three name the robot software.
using SoftwareCode = std::array<uint8_t, 4>;

struct ModelProfile {
    const char* name;
    SoftwareCode softwareCode;
    int32_t model; // 210, 220, or 0 for any model
    const char* mwcPath;
    const char* dataFolder;
    const CatalogEntry* catalog;
    int32_t catalogCount;
    const StockSoundLibrary* stockLibrary;
};

constexpr int ProfileCount = 7;
extern const ModelProfile ProfileTable[ProfileCount];

// The key that unscrambles the model file. The robot's own key is not known; sticks made by our
// tools are scrambled with this one: byte i is (0x5A + 29 * i) mod 256.
extern const std::array<uint8_t, 96> RhapsodyKey;

// The model number from OPEN-R\APP\DATA\P\RHAPSODY, or 0 when it cannot be told.
int ReadRobotModel();
// The same over any byte source (the whole file).
int ParseRobotModel(ByteSource& source);

// Chooses the profile for the code and model, sets ActiveProfile and shows its name in the
// dialog. When the code's software exists for several models and none fits `model`, the owner is
// told so and asked which robot the stick is for. False after telling the user why not, or when
// they cancelled that question.
bool SelectProfile(CustomizationState& state, const SoftwareCode& code, int model);
