#include "sounds/SoundDecoder.h"

#include "platform/ByteStream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sndfile.h>

namespace {

// Samples per block whatever the channel count, so a file claiming hundreds of channels cannot
// make one block large.
constexpr size_t BlockSamples = 16384;
// Rates outside what any recording equipment uses are a broken or hostile header.
constexpr int MinSourceRate = 1000;
constexpr int MaxSourceRate = 768000;
// Floating-point files have no full scale and may hold anything, infinities and NaN included.
// Magnitudes beyond this are no recording, and keeping them this small keeps every sum finite.
constexpr float SampleLimit = 1000.0f;

std::string TooLongReason() {
    return "The recording is longer than " + std::to_string(static_cast<int>(MaxImportSeconds / 60)) + " minutes.";
}

} // namespace

// libsndfile's virtual I/O over a ByteSource, which has no notion of a current position: it is
// kept here, and the size is asked once (asking a file for it means two seeks).
struct SoundDecoder::State {
    ByteSource* source = nullptr;
    int64_t position = 0;
    int64_t size = -1;
    SNDFILE* file = nullptr;
    SF_INFO info{};
    int64_t framesRead = 0;
    int64_t maxFrames = 0;

    ~State() {
        if (file != nullptr) {
            sf_close(file);
        }
    }

    static State& Of(void* user) { return *static_cast<State*>(user); }

    static sf_count_t Length(void* user) { return Of(user).size; }

    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        State& s = Of(user);
        const int64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.size : 0;
        const int64_t target = base + offset;
        if (target < 0 || !s.source->Seek(target)) {
            return -1;
        }
        s.position = target;
        return target;
    }

    static sf_count_t ReadBytes(void* buffer, sf_count_t count, void* user) {
        State& s = Of(user);
        if (count <= 0) {
            return 0;
        }
        const size_t n = s.source->Read(buffer, static_cast<size_t>(count));
        s.position += static_cast<int64_t>(n);
        return static_cast<sf_count_t>(n);
    }

    static sf_count_t WriteBytes(const void* /*data*/, sf_count_t /*count*/, void* /*user*/) { return 0; }

    static sf_count_t Tell(void* user) { return Of(user).position; }
};

SoundDecoder::SoundDecoder(std::unique_ptr<State> state) : m(std::move(state)) {}

SoundDecoder::~SoundDecoder() = default;

std::unique_ptr<SoundDecoder> SoundDecoder::Open(ByteSource& source, std::string& reason) {
    auto state = std::make_unique<State>();
    state->source = &source;
    state->size = source.Size();
    if (state->size < 0 || !source.Seek(0)) {
        reason = "The file cannot be read.";
        return nullptr;
    }
    SF_VIRTUAL_IO io{State::Length, State::Seek, State::ReadBytes, State::WriteBytes, State::Tell};
    state->file = sf_open_virtual(&io, SFM_READ, &state->info, state.get());
    if (state->file == nullptr) {
        reason = sf_strerror(nullptr);
        return nullptr;
    }
    const SF_INFO& info = state->info;
    if (info.channels < 1) {
        reason = "The recording has no channels.";
        return nullptr;
    }
    if (info.samplerate < MinSourceRate || info.samplerate > MaxSourceRate) {
        reason = "The recording's sample rate (" + std::to_string(info.samplerate) + " Hz) is not supported.";
        return nullptr;
    }
    state->maxFrames = static_cast<int64_t>(MaxImportSeconds) * info.samplerate;
    // Formats that cannot tell their length announce the largest count there is.
    if (info.frames > state->maxFrames && info.frames != SF_COUNT_MAX) {
        reason = TooLongReason();
        return nullptr;
    }
    return std::unique_ptr<SoundDecoder>(new SoundDecoder(std::move(state)));
}

int SoundDecoder::Channels() const {
    return m->info.channels;
}

double SoundDecoder::Rate() const {
    return m->info.samplerate;
}

double SoundDecoder::Fraction() const {
    const int64_t announced = m->info.frames;
    if (announced <= 0 || announced == SF_COUNT_MAX) {
        return 0;
    }
    return std::min(1.0, static_cast<double>(m->framesRead) / static_cast<double>(announced));
}

bool SoundDecoder::Read(std::vector<float>& block, std::string& reason) {
    const auto channels = static_cast<size_t>(m->info.channels);
    const size_t frames = std::max<size_t>(1, BlockSamples / channels);
    block.resize(frames * channels);
    const sf_count_t got = sf_readf_float(m->file, block.data(), static_cast<sf_count_t>(frames));
    block.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0)) * channels);
    if (block.empty() && sf_error(m->file) != SF_ERR_NO_ERROR) {
        reason = sf_strerror(m->file);
        return false;
    }
    m->framesRead += static_cast<int64_t>(block.size() / channels);
    if (m->framesRead > m->maxFrames) {
        reason = TooLongReason();
        return false;
    }
    for (float& sample : block) {
        if (!(std::fabs(sample) <= SampleLimit)) {
            sample = std::isnan(sample) ? 0.0f : std::copysign(SampleLimit, sample);
        }
    }
    return true;
}
