#pragma once
// Turns a tune into the bytes of a Standard MIDI File (format 0, one track).
#include "Tune.h"

#include <cstdint>
#include <vector>

std::vector<uint8_t> WriteMidiFile(const Tune& tune);
