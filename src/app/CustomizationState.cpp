#include "app/CustomizationState.h"

#include "catalog/SoundCatalogs.h"
#include "platform/ComboBox.h"
#include "platform/TreeCtrl.h"
#include "stick/ModelProfiles.h"

std::optional<SelectedSound> SelectedEntry(CustomizationState& state, const CTreeCtrl& tree) {
    HTREEITEM item = tree.GetSelectedItem();
    if (item == nullptr || state.ActiveProfile == nullptr || !state.Assignments) {
        return std::nullopt;
    }
    // Every item was given its row's index when the tree was filled from this same catalog.
    auto index = static_cast<int>(tree.GetItemData(item));
    if (index < 0 || index >= state.ActiveProfile->catalogCount ||
        index >= static_cast<int>(state.Assignments->size())) {
        return std::nullopt;
    }
    return SelectedSound{&state.ActiveProfile->catalog[index], index,
                         &(*state.Assignments)[static_cast<size_t>(index)]};
}

void AssignFromList(CustomizationState& state, const CTreeCtrl& tree, const CComboBox& list) {
    std::optional<SelectedSound> selected = SelectedEntry(state, tree);
    if (!selected || !IsStockSound(*selected->entry)) {
        return;
    }
    int index = list.GetCurSel();
    if (index == CB_ERR) {
        return;
    }
    selected->slot->reset();
    // Item 0 is "(default)": the stock sound stays.
    if (index != 0) {
        *selected->slot = list.GetLBText(index);
    }
    state.Modified = true;
}

void ResetAllAssignments(CustomizationState& state) {
    if (!state.Assignments) {
        return;
    }
    for (std::optional<std::string>& slot : *state.Assignments) {
        slot.reset();
    }
    state.Modified = true;
}

bool AssignByKey(CustomizationState& state, const CComboBox& list, const std::string& key, const std::string& value) {
    int found = list.FindStringExact(-1, value);
    // "(default)" is the list's first item but names no file: a record line carrying it would
    // leave a slot that no save could pack, so it is refused like any unknown file.
    if (found == CB_ERR || found == 0) {
        return false;
    }
    if (state.ActiveProfile == nullptr || !state.Assignments) {
        return false;
    }
    const ModelProfile& profile = *state.ActiveProfile;
    for (int i = 0; i < profile.catalogCount; ++i) {
        const CatalogEntry& entry = profile.catalog[i];
        if (IsStockSound(entry) && key == entry.key) {
            (*state.Assignments)[static_cast<size_t>(i)] = value;
            return true;
        }
    }
    return false;
}
