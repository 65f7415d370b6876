#include "WaveBuilder.h"

namespace {

void PutTag(std::vector<uint8_t>& out, const std::string& tag) {
    for (size_t i = 0; i < 4; ++i) {
        out.push_back(i < tag.size() ? static_cast<uint8_t>(tag[i]) : ' ');
    }
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutChunk(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& body,
              std::optional<uint32_t> sizeOverride = std::nullopt) {
    PutTag(out, id);
    Put32(out, sizeOverride.value_or(static_cast<uint32_t>(body.size())));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
}

} // namespace

std::vector<uint8_t> BuildWave(const WaveDescription& wave) {
    std::vector<uint8_t> format;
    uint32_t blockAlign = wave.channels * ((wave.bitsPerSample + 7u) / 8u);
    Put16(format, wave.formatTag);
    Put16(format, wave.channels);
    Put32(format, wave.sampleRate);
    Put32(format, wave.sampleRate * blockAlign);
    Put16(format, blockAlign);
    Put16(format, wave.bitsPerSample);

    std::vector<uint8_t> form;
    PutTag(form, wave.formType);
    for (const WaveChunk& chunk : wave.chunksBeforeFormat) {
        PutChunk(form, chunk.id, chunk.body);
    }
    PutChunk(form, wave.formatId, format, wave.formatSizeOverride);
    PutChunk(form, "data", wave.samples);

    std::vector<uint8_t> file;
    PutTag(file, wave.riffId);
    Put32(file, wave.riffSizeOverride.value_or(static_cast<uint32_t>(form.size())));
    file.insert(file.end(), form.begin(), form.end());
    return file;
}
