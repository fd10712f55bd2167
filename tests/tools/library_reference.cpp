#include "library_reference.h"

#include <algorithm>
#include <stdexcept>

#include "ve32.h"

namespace ve_test {
namespace {

void* openExpander(int sampleRate, unsigned flags, const ExpanderParameters& p) {
    void* handle = nullptr;
    if (veOpen(&handle, sampleRate, flags) != VE32_OK) throw std::runtime_error("veOpen failed");
    veSetSpread(handle, p.spreadDb);
    veSetCenter(handle, p.centerDb);
    veSetInputScale(handle, p.scaleLeftDb, p.scaleRightDb);
    veSetInputDelay(handle, p.delayLeft, p.delayRight);
    return handle;
}

void* openMonoToStereo(int sampleRate, unsigned flags) {
    void* handle = nullptr;
    if (m2sOpen(&handle, sampleRate, flags) != VE32_OK) throw std::runtime_error("m2sOpen failed");
    return handle;
}

// Calls process(handle, in, out, frames) over the signal in pieces of `block` frames.
template <typename Sample, typename Process>
std::vector<Sample> inBlocks(void* handle, const std::vector<Sample>& input, size_t inChannels,
                             size_t block, Process process) {
    size_t frames = input.size() / inChannels;
    if (block == kWholeSignal) block = std::max<size_t>(frames, 1);
    std::vector<Sample> out(frames * 2);
    for (size_t at = 0; at < frames; at += block) {
        size_t count = std::min(block, frames - at);
        process(handle, input.data() + at * inChannels, out.data() + at * 2,
                static_cast<unsigned>(count));
    }
    return out;
}

}  // namespace

std::vector<int16_t> libraryExpand(const std::vector<int16_t>& stereo, int sampleRate,
                                   unsigned flags, const ExpanderParameters& parameters,
                                   size_t block) {
    void* handle = openExpander(sampleRate, flags, parameters);
    auto out = inBlocks(handle, stereo, 2, block, veProcess16);
    veClose(handle);
    return out;
}

std::vector<uint8_t> libraryExpand(const std::vector<uint8_t>& stereo, int sampleRate,
                                   unsigned flags, const ExpanderParameters& parameters,
                                   size_t block) {
    void* handle = openExpander(sampleRate, flags, parameters);
    auto out = inBlocks(handle, stereo, 2, block, veProcess8);
    veClose(handle);
    return out;
}

std::vector<int16_t> libraryMonoToStereo(const std::vector<int16_t>& mono, int sampleRate,
                                         unsigned flags, size_t block) {
    void* handle = openMonoToStereo(sampleRate, flags);
    auto out = inBlocks(handle, mono, 1, block, m2sProcess16);
    m2sClose(handle);
    return out;
}

std::vector<uint8_t> libraryMonoToStereo(const std::vector<uint8_t>& mono, int sampleRate,
                                         unsigned flags, size_t block) {
    void* handle = openMonoToStereo(sampleRate, flags);
    auto out = inBlocks(handle, mono, 1, block, m2sProcess8);
    m2sClose(handle);
    return out;
}

}  // namespace ve_test
