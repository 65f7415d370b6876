#pragma once
// The texts of a list's items, in list order, for comparing a whole list at once.
#include "platform/ComboBox.h"

#include <string>
#include <vector>

inline std::vector<std::string> ComboItems(const CComboBox& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i) {
        items.push_back(list.GetLBText(i));
    }
    return items;
}
