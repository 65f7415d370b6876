#pragma once
// A property a fuzz target holds its code to: a broken one stops the run with the input saved.
#include <cstdlib>

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
