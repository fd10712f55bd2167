#pragma once
// The library, called directly, as the reference for what the plugins must output.
//
// The library's result depends a little on where process calls split the signal: filters keep
// their history in double precision within a call and store it as float between calls. The
// plugins hand the host's blocks to the library unchanged (cut at 1024 frames, as the library cuts
// them itself), so the reference is the library called with the same blocks.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ve32.h"

namespace ve::lv2::testing {

struct ExpanderSettings {
    float spread = 0.0f;
    float center = 0.0f;
    float scaleLeft = 0.0f;
    float scaleRight = 0.0f;
    int delayLeft = 0;
    int delayRight = 0;
    int shaping = 0;
    int backend = 0;
};

class LibraryExpander {
  public:
    LibraryExpander(int sampleRate, const ExpanderSettings& settings) {
        const unsigned flags = static_cast<unsigned>(settings.backend) |
                               (settings.shaping != 0 ? VE32_FLAG_SECTION_SHAPING : 0u);
        if (veOpen(&handle_, sampleRate, flags) != VE32_OK) throw std::runtime_error("veOpen");
        setGains(settings);
        veSetInputDelay(handle_, settings.delayLeft, settings.delayRight);
    }
    ~LibraryExpander() { veClose(handle_); }
    LibraryExpander(const LibraryExpander&) = delete;
    LibraryExpander& operator=(const LibraryExpander&) = delete;

    void setGains(const ExpanderSettings& settings) {
        veSetSpread(handle_, settings.spread);
        veSetCenter(handle_, settings.center);
        veSetInputScale(handle_, settings.scaleLeft, settings.scaleRight);
    }
    // Interleaved 16-bit stereo, frames [first, first + count) of `in` into the same range of
    // `out`.
    void process(const std::vector<int16_t>& in, std::vector<int16_t>& out, size_t first,
                 size_t count) {
        veProcess16(handle_, in.data() + 2 * first, out.data() + 2 * first,
                    static_cast<unsigned>(count));
    }
    // The same, one call per block; the blocks are (first frame, length), in order, and those
    // starting in [from, to) are processed.
    template <class Blocks>
    void processBlocks(const std::vector<int16_t>& in, std::vector<int16_t>& out,
                       const Blocks& blocks, size_t from, size_t to) {
        for (const auto& [first, count] : blocks) {
            if (first >= from && first < to) process(in, out, first, count);
        }
    }
    void* handle() const { return handle_; }

  private:
    void* handle_ = nullptr;
};

// Mono in, interleaved stereo out: frames [from, end) of `in` through a freshly opened engine,
// one call per block. Blocks are (first frame, length), in order; those starting before `from`
// are skipped, and their output frames stay 0.
inline std::vector<int16_t> libraryMonoToStereo(
    int sampleRate, const std::vector<int16_t>& in,
    const std::vector<std::pair<size_t, uint32_t>>& blocks, size_t from = 0) {
    void* handle = nullptr;
    if (m2sOpen(&handle, sampleRate, VE32_BACKEND_AUTO) != VE32_OK) {
        throw std::runtime_error("m2sOpen");
    }
    std::vector<int16_t> out(2 * in.size());
    for (const auto& [first, count] : blocks) {
        if (first >= from) m2sProcess16(handle, in.data() + first, out.data() + 2 * first, count);
    }
    m2sClose(handle);
    return out;
}

// The same with blocks of `blockFrames` (0: one call for everything).
inline std::vector<int16_t> libraryMonoToStereo(int sampleRate, const std::vector<int16_t>& in,
                                                size_t blockFrames = 0) {
    const size_t step = blockFrames == 0 ? in.size() : blockFrames;
    std::vector<std::pair<size_t, uint32_t>> blocks;
    for (size_t first = 0; first < in.size(); first += step) {
        blocks.emplace_back(first, static_cast<uint32_t>(std::min(step, in.size() - first)));
    }
    return libraryMonoToStereo(sampleRate, in, blocks);
}

}  // namespace ve::lv2::testing
