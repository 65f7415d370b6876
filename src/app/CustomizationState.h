#pragma once
// The shared state of one run: which software the stick holds, the replacement chosen for each
// stock sound, whether the user changed anything, and how many references a save replaced.
// Plain data, so the stick, writer and preview code can be handed it without knowing the window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CatalogEntry;
struct ModelProfile;
class CTreeCtrl;
class CComboBox;

// One slot per catalog row, headers included: a replacement file name, or nothing for the
// stock sound. Header slots always stay empty.
using AssignmentTable = std::vector<std::optional<std::string>>;

struct CustomizationState {
    const ModelProfile* ActiveProfile = nullptr;
    std::optional<AssignmentTable> Assignments;
    bool Modified = false;
    int32_t ModifiedEntryCount = 0;
    // The robot model to take when the stick's model file cannot be read (--model); 0 for none.
    int AssumedModel = 0;
};

// The catalog row of the tree's selected item, its index and its slot.
struct SelectedSound {
    const CatalogEntry* entry;
    int index;
    std::optional<std::string>* slot;
};

std::optional<SelectedSound> SelectedEntry(CustomizationState& state, const CTreeCtrl& tree);

// Applies the user's choice in the replacement list to the selected sound; sets Modified.
void AssignFromList(CustomizationState& state, const CTreeCtrl& tree, const CComboBox& list);

// Every stock sound back to its own sound. The user's doing, so Modified is set.
void ResetAllAssignments(CustomizationState& state);

// Stores `value` for the stock sound whose key is exactly `key`, if `value` is a replacement
// file of the list. Used by the record loader; never sets Modified.
bool AssignByKey(CustomizationState& state, const CComboBox& list, const std::string& key, const std::string& value);
