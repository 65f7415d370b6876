#pragma once
// Preview: plays, for the stock sound selected in the tree, the replacement file assigned to it
// or else the stock sound itself, synchronously and with the wait cursor shown.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CustomizationState;
struct StockSoundLibrary;
class CTreeCtrl;
class CComboBox;

// Plays the selected sound. Does nothing while the replacement list has no current item; tells
// the user when no sound is selected or the sound could not be played.
void PreviewSelectedSound(CustomizationState& state, const CTreeCtrl& tree, const CComboBox& list);

// Plays a file of the SOUNDS folder, given its name. False when the player refused to open it.
bool PlayCustomSound(const std::string& fileName);

// Plays the record `index` of a stock library through a temporary MIDI file in the work folder.
// A profile without a library (null) is told so and counts as played.
bool PlayStockSound(const StockSoundLibrary* library, int index);

// Plays 8000 Hz samples (a cut before it is written) through the same player, with the wait
// cursor shown, telling `position` every few hundredths of a second how many seconds have been
// played. False when the device could not play them.
bool PlaySamples(const std::vector<int16_t>& samples, const std::function<void(double seconds)>& position);
