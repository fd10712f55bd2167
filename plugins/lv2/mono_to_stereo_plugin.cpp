#include "plugins/lv2/mono_to_stereo_plugin.h"

#include <algorithm>
#include <new>

#include "plugins/lv2/bypass_fade.h"
#include "plugins/lv2/control_values.h"
#include "plugins/lv2/host_features.h"
#include "plugins/lv2/pcm_conversion.h"
#include "plugins/lv2/plugin_ports.h"
#include "plugins/lv2/sample_rates.h"
#include "ve32.h"

namespace ve::lv2 {
namespace {

namespace port = mono_to_stereo_port;

constexpr uint32_t kChunkFrames = 1024;
constexpr ControlRange kEnabledRange{0.0f, 1.0f, 1.0f};
// The engine's FIR filter has 45 taps at every rate; the right channel is delayed to its center.
constexpr float kLatency = 22.0f;

// The engine has no settings, so it is opened once and never needs memory afterwards. Bypass is
// the plugin's own crossfade to the input on both channels; when the crossfade ends the engine is
// reset, so that enabling it again starts from silence rather than from audio heard before the
// bypass.
class MonoToStereoPlugin {
  public:
    explicit MonoToStereoPlugin(const LV2_Feature* const* features) : host_(features) {}
    ~MonoToStereoPlugin() { m2sClose(engine_); }
    MonoToStereoPlugin(const MonoToStereoPlugin&) = delete;
    MonoToStereoPlugin& operator=(const MonoToStereoPlugin&) = delete;

    bool open(double hostRate);
    void connect(uint32_t index, void* data) {
        if (index < port::kCount) ports_[index] = data;
    }
    void activate() {
        m2sReset(engine_);
        started_ = false;
    }
    void run(uint32_t frames);

  private:
    void processChunk(uint32_t offset, uint32_t frames);

    const HostFeatures host_;
    void* ports_[port::kCount] = {};
    void* engine_ = nullptr;
    BypassFade fade_;
    bool started_ = false;

    float dry_[kChunkFrames];
    int16_t pcmIn_[kChunkFrames];
    int16_t pcmOut_[2 * kChunkFrames];
    float wet_[2][kChunkFrames];
};

bool MonoToStereoPlugin::open(double hostRate) {
    const int32_t rate = wholeSampleRate(hostRate);
    const int result = m2sOpen(&engine_, rate, VE32_BACKEND_AUTO);
    if (result == VE32_UNSUPPORTED_RATE) {
        host_.error("ve Mono to Stereo: cannot run at %g Hz; the supported sample rates are %s.\n",
                    hostRate, kSupportedRatesText);
        return false;
    }
    if (result != VE32_OK) {
        host_.error("ve Mono to Stereo: out of memory while opening the engine.\n");
        return false;
    }
    fade_.setLength(bypassFadeFrames(rate));
    return true;
}

void MonoToStereoPlugin::run(uint32_t frames) {
    const bool enabled =
        readControl(static_cast<const float*>(ports_[port::kEnabled]), kEnabledRange) > 0.0f;
    if (!started_) {
        fade_.jumpTo(enabled);
        started_ = true;
    } else {
        fade_.setTarget(enabled);
    }
    if (auto* latency = static_cast<float*>(ports_[port::kLatency])) *latency = kLatency;
    if (ports_[port::kIn] == nullptr || ports_[port::kOutLeft] == nullptr ||
        ports_[port::kOutRight] == nullptr) {
        return;
    }
    for (uint32_t offset = 0; offset < frames;) {
        const uint32_t chunk = std::min(kChunkFrames, frames - offset);
        processChunk(offset, chunk);
        offset += chunk;
    }
}

void MonoToStereoPlugin::processChunk(uint32_t offset, uint32_t frames) {
    // The input is copied first: hosts may hand the same buffer for input and output.
    std::copy_n(static_cast<const float*>(ports_[port::kIn]) + offset, frames, dry_);
    float* out[2] = {static_cast<float*>(ports_[port::kOutLeft]) + offset,
                     static_cast<float*>(ports_[port::kOutRight]) + offset};

    if (fade_.bypassed()) {
        for (float* channel : out) std::copy_n(dry_, frames, channel);
        return;
    }

    for (uint32_t i = 0; i < frames; ++i) pcmIn_[i] = floatToPcm16(dry_[i]);
    m2sProcess16(engine_, pcmIn_, pcmOut_, frames);

    const bool processing = fade_.processing();
    float* wet[2] = {processing ? out[0] : wet_[0], processing ? out[1] : wet_[1]};
    for (uint32_t i = 0; i < frames; ++i) {
        wet[0][i] = pcm16ToFloat(pcmOut_[2 * i]);
        wet[1][i] = pcm16ToFloat(pcmOut_[2 * i + 1]);
    }
    if (processing) return;

    const float* wetIn[2] = {wet_[0], wet_[1]};
    const float* dryIn[2] = {dry_, dry_};
    fade_.mix(wetIn, dryIn, out, 2, frames);
    if (fade_.bypassed()) m2sReset(engine_);
}

MonoToStereoPlugin* self(LV2_Handle handle) {
    return static_cast<MonoToStereoPlugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    auto* plugin = new (std::nothrow) MonoToStereoPlugin(features);
    if (plugin == nullptr) {
        HostFeatures(features).error("ve Mono to Stereo: out of memory.\n");
        return nullptr;
    }
    if (!plugin->open(rate)) {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

void connectPort(LV2_Handle handle, uint32_t index, void* data) {
    self(handle)->connect(index, data);
}
void activate(LV2_Handle handle) {
    self(handle)->activate();
}
void run(LV2_Handle handle, uint32_t frames) {
    self(handle)->run(frames);
}
void cleanup(LV2_Handle handle) {
    delete self(handle);
}
const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptor{kMonoToStereoUri, instantiate, connectPort,  activate, run,
                                 nullptr,          cleanup,     extensionData};

}  // namespace

const LV2_Descriptor* monoToStereoDescriptor() {
    return &kDescriptor;
}

}  // namespace ve::lv2
