#pragma once
// Builds RIFF/WAVE files from a readable description, for tests and the demo sounds. The defaults
// describe what the robot plays: mono 8-bit PCM at 8000 Hz with the format chunk first.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct WaveChunk {
    std::string id; // four characters
    std::vector<uint8_t> body;
};

struct WaveDescription {
    std::string riffId = "RIFF";
    std::optional<uint32_t> riffSizeOverride; // written instead of the true size
    std::string formType = "WAVE";
    std::vector<WaveChunk> chunksBeforeFormat;
    std::string formatId = "fmt ";
    std::optional<uint32_t> formatSizeOverride; // written instead of 16
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t sampleRate = 8000;
    uint16_t bitsPerSample = 8;
    std::vector<uint8_t> samples = std::vector<uint8_t>(64, 0x80);
};

std::vector<uint8_t> BuildWave(const WaveDescription& wave);
