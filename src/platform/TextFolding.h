#pragma once
// Text as file names made from it need it: letters reduced to the letters they are built on.
#include <string>

// The UTF-8 text with every character taken apart into its base and its marks (Unicode
// compatibility decomposition) and the marks left out: "Élan" gives "Elan", "ﬁ" gives "fi".
// Bytes that are no UTF-8 become U+FFFD.
std::string FoldToBaseLetters(const std::string& utf8);
