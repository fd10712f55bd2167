#include "plugins/lv2/stereo_expander_plugin.h"

#include <lv2/worker/worker.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "plugins/lv2/bypass_fade.h"
#include "plugins/lv2/control_values.h"
#include "plugins/lv2/engine_parking.h"
#include "plugins/lv2/expander_config.h"
#include "plugins/lv2/host_features.h"
#include "plugins/lv2/input_delay_lines.h"
#include "plugins/lv2/pcm_conversion.h"
#include "plugins/lv2/plugin_ports.h"
#include "plugins/lv2/sample_rates.h"
#include "ve32.h"

namespace ve::lv2 {
namespace {

namespace port = expander_port;

// Host blocks of any length are cut into chunks of the engine's own block size.
constexpr uint32_t kChunkFrames = 1024;

// The ranges and defaults of stereo_expander.ttl.
constexpr ControlRange kEnabledRange{0.0f, 1.0f, 1.0f};
constexpr ControlRange kGainRange{-60.0f, 12.0f, 0.0f};
constexpr ControlRange kDelayRange{0.0f, static_cast<float>(kMaxInputDelay), 0.0f};
constexpr ControlRange kShapingRange{0.0f, 1.0f, 0.0f};
constexpr ControlRange kBackendRange{0.0f, 2.0f, 0.0f};

// The settings an engine takes without allocating.
struct GainSettings {
    float spread = 0.0f;
    float center = 0.0f;
    float scaleLeft = 0.0f;
    float scaleRight = 0.0f;
};

// Messages between run() and the worker. The host copies them byte for byte, so they are plain
// data: an engine crosses as the index of the parking slot that holds it.
struct WorkMessage {
    enum Kind : uint32_t { kOpen = 1, kClose = 2, kOpened = 3, kOpenFailed = 4 };
    Kind kind;
    int32_t slot;
    ExpanderConfig config;
};

bool readMessage(uint32_t size, const void* data, WorkMessage* message) {
    if (data == nullptr || size != sizeof(WorkMessage)) return false;
    std::memcpy(message, data, sizeof(WorkMessage));
    return true;
}

// How the plugin changes engines:
// - With the host's worker, an engine for new settings (shaping table, back-end, input delays) is
//   opened in the worker, where allocating is allowed, and swapped in on the audio thread when it
//   arrives; the retired engine goes back to the worker to be closed. Until the swap, the old
//   settings stay in effect.
// - Without a worker nothing may be allocated once the plugin is running, so every table/back-end
//   combination gets an engine at instantiation, and the input delays are done by delay lines
//   sized for the largest delay, in front of an engine whose own delays stay 0.
// Either way a change of these settings restarts the expander from silence, as a freshly opened
// engine would start; the gains change at once without a restart.
class StereoExpanderPlugin {
  public:
    StereoExpanderPlugin(int32_t sampleRate, const LV2_Feature* const* features)
        : rate_(sampleRate), host_(features), worker_(host_.worker()) {}
    ~StereoExpanderPlugin();
    StereoExpanderPlugin(const StereoExpanderPlugin&) = delete;
    StereoExpanderPlugin& operator=(const StereoExpanderPlugin&) = delete;

    // Opens the engines. On failure the reason has been reported to the user.
    bool open(double hostRate);

    void connect(uint32_t index, void* data) {
        if (index < port::kCount) ports_[index] = data;
    }
    void activate();
    void run(uint32_t frames);
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           uint32_t size, const void* data);
    LV2_Worker_Status workResponse(uint32_t size, const void* data);

  private:
    const float* control(uint32_t index) const { return static_cast<const float*>(ports_[index]); }
    ExpanderConfig requestedConfig() const;
    GainSettings requestedGains() const;
    bool configPortsConnected() const;

    void requestEngine(const ExpanderConfig& config);
    void scheduleCloses();
    void switchPreparedEngine(const ExpanderConfig& config);
    void applyGains(const GainSettings& gains);
    void restartEngine();
    void processChunk(uint32_t offset, uint32_t frames);

    const int32_t rate_;
    const HostFeatures host_;
    const LV2_Worker_Schedule* const worker_;
    void* ports_[port::kCount] = {};

    void* engine_ = nullptr;  // the engine run() uses
    ExpanderConfig engineConfig_;
    GainSettings engineGains_;
    bool gainsStale_ = true;  // engine_ was just swapped in and carries other gains

    // With a worker.
    EngineParking parking_;
    std::atomic<bool> openPending_{false};  // cleared by the worker if it cannot respond
    bool openFailed_ = false;               // failedConfig_ could not be opened (out of memory)
    ExpanderConfig failedConfig_;
    uint32_t unscheduledCloses_ = 0;  // slots whose engine still goes to the worker to close

    // Without a worker.
    void* prepared_[2][3] = {};  // [shaping][backend]
    InputDelayLines delayLines_;

    BypassFade fade_;
    // The first block after activation takes the bypass state without a fade.
    bool started_ = false;

    int16_t pcm_[2 * kChunkFrames];
    float dry_[2][kChunkFrames];
    float wet_[2][kChunkFrames];
};

StereoExpanderPlugin::~StereoExpanderPlugin() {
    if (worker_ != nullptr) {
        veClose(engine_);
        parking_.closeAll([](void* engine) { veClose(engine); });
    } else {
        for (auto& row : prepared_) {
            for (void* engine : row) veClose(engine);
        }
    }
}

bool StereoExpanderPlugin::open(double hostRate) {
    int result = VE32_OK;
    if (worker_ != nullptr) {
        result = openExpanderEngine(rate_, ExpanderConfig{}, &engine_);
    } else {
        for (int32_t shaping = 0; shaping < 2 && result == VE32_OK; ++shaping) {
            for (int32_t backend = 0; backend < 3 && result == VE32_OK; ++backend) {
                result = openExpanderEngine(rate_, ExpanderConfig{shaping, backend, 0, 0},
                                            &prepared_[shaping][backend]);
            }
        }
        engine_ = prepared_[0][0];
        if (result == VE32_OK && !delayLines_.allocate(kMaxInputDelay)) result = VE32_OUT_OF_MEMORY;
    }
    if (result == VE32_UNSUPPORTED_RATE) {
        host_.error("ve Stereo Expander: cannot run at %g Hz; the supported sample rates are %s.\n",
                    hostRate, kSupportedRatesText);
        return false;
    }
    if (result != VE32_OK) {
        host_.error("ve Stereo Expander: out of memory while opening the engine.\n");
        return false;
    }
    fade_.setLength(bypassFadeFrames(rate_));
    return true;
}

ExpanderConfig StereoExpanderPlugin::requestedConfig() const {
    return ExpanderConfig{readIntegerControl(control(port::kShaping), kShapingRange),
                          readIntegerControl(control(port::kBackend), kBackendRange),
                          readIntegerControl(control(port::kInputDelayL), kDelayRange),
                          readIntegerControl(control(port::kInputDelayR), kDelayRange)};
}

GainSettings StereoExpanderPlugin::requestedGains() const {
    return GainSettings{readControl(control(port::kSpread), kGainRange),
                        readControl(control(port::kCenter), kGainRange),
                        readControl(control(port::kInputScaleL), kGainRange),
                        readControl(control(port::kInputScaleR), kGainRange)};
}

bool StereoExpanderPlugin::configPortsConnected() const {
    return control(port::kShaping) != nullptr && control(port::kBackend) != nullptr &&
           control(port::kInputDelayL) != nullptr && control(port::kInputDelayR) != nullptr;
}

void StereoExpanderPlugin::activate() {
    // activate() is not called on the audio thread, so with a worker the settings the host has
    // already put in the ports can get their engine here at once instead of a few blocks late.
    if (worker_ != nullptr && !openPending_.load(std::memory_order_acquire) &&
        configPortsConnected()) {
        const ExpanderConfig config = requestedConfig();
        void* engine = nullptr;
        if (config != engineConfig_ && openExpanderEngine(rate_, config, &engine) == VE32_OK) {
            veClose(engine_);
            engine_ = engine;
            engineConfig_ = config;
            gainsStale_ = true;
        }
    }
    restartEngine();
    started_ = false;
}

void StereoExpanderPlugin::run(uint32_t frames) {
    const ExpanderConfig config = requestedConfig();
    if (worker_ != nullptr) {
        scheduleCloses();
        requestEngine(config);  // a host that runs the worker at once has swapped engines by now
    } else {
        switchPreparedEngine(config);
    }
    applyGains(requestedGains());

    const bool enabled = readControl(control(port::kEnabled), kEnabledRange) > 0.0f;
    if (!started_) {
        fade_.jumpTo(enabled);
        started_ = true;
    } else {
        fade_.setTarget(enabled);
    }

    if (auto* latency = static_cast<float*>(ports_[port::kLatency])) {
        *latency = static_cast<float>(directPathDelay(rate_, engineConfig_.shaping));
    }
    if (ports_[port::kInLeft] == nullptr || ports_[port::kInRight] == nullptr ||
        ports_[port::kOutLeft] == nullptr || ports_[port::kOutRight] == nullptr) {
        return;
    }
    for (uint32_t offset = 0; offset < frames;) {
        const uint32_t chunk = std::min(kChunkFrames, frames - offset);
        processChunk(offset, chunk);
        offset += chunk;
    }
}

void StereoExpanderPlugin::requestEngine(const ExpanderConfig& config) {
    if (config == engineConfig_) {
        openFailed_ = false;
        return;
    }
    if (openPending_.load(std::memory_order_acquire)) return;  // one engine at a time
    if (openFailed_ && config == failedConfig_) return;        // do not retry in every block
    const WorkMessage message{WorkMessage::kOpen, -1, config};
    // Pending before scheduling: a host may run the worker and deliver its answer inside the call.
    openPending_.store(true, std::memory_order_release);
    if (worker_->schedule_work(worker_->handle, sizeof message, &message) != LV2_WORKER_SUCCESS) {
        openPending_.store(false, std::memory_order_release);  // queue full: next block tries again
    }
}

void StereoExpanderPlugin::scheduleCloses() {
    for (int32_t slot = 0; slot < EngineParking::kSlots; ++slot) {
        const uint32_t bit = 1u << slot;
        if ((unscheduledCloses_ & bit) == 0) continue;
        const WorkMessage message{WorkMessage::kClose, slot, ExpanderConfig{}};
        if (worker_->schedule_work(worker_->handle, sizeof message, &message) ==
            LV2_WORKER_SUCCESS) {
            unscheduledCloses_ &= ~bit;
        }
    }
}

LV2_Worker_Status StereoExpanderPlugin::work(LV2_Worker_Respond_Function respond,
                                             LV2_Worker_Respond_Handle handle, uint32_t size,
                                             const void* data) {
    WorkMessage message;
    if (!readMessage(size, data, &message)) return LV2_WORKER_ERR_UNKNOWN;
    switch (message.kind) {
        case WorkMessage::kOpen: {
            WorkMessage reply{WorkMessage::kOpenFailed, -1, message.config};
            void* engine = nullptr;
            if (openExpanderEngine(rate_, message.config, &engine) == VE32_OK) {
                reply.slot = parking_.park(engine);
                if (reply.slot >= 0) {
                    reply.kind = WorkMessage::kOpened;
                } else {
                    veClose(engine);
                }
            }
            if (reply.kind == WorkMessage::kOpenFailed) {
                host_.error("ve Stereo Expander: out of memory; the previous settings stay.\n");
            }
            if (respond(handle, sizeof reply, &reply) != LV2_WORKER_SUCCESS) {
                // The answer is lost: take the engine back and let run() ask again.
                if (reply.kind == WorkMessage::kOpened) {
                    veClose(parking_.exchange(reply.slot, nullptr));
                }
                openPending_.store(false, std::memory_order_release);
            }
            return LV2_WORKER_SUCCESS;
        }
        case WorkMessage::kClose:
            veClose(parking_.exchange(message.slot, nullptr));
            return LV2_WORKER_SUCCESS;
        default:
            return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status StereoExpanderPlugin::workResponse(uint32_t size, const void* data) {
    WorkMessage message;
    if (!readMessage(size, data, &message)) return LV2_WORKER_ERR_UNKNOWN;
    if (message.kind == WorkMessage::kOpened) {
        // The retired engine takes the new one's place in the parking slot, then is closed by the
        // worker (the request goes out at the start of the next block).
        void* incoming = parking_.exchange(message.slot, engine_);
        if (incoming == nullptr) {
            parking_.exchange(message.slot, nullptr);  // nothing was there: keep our engine
        } else {
            engine_ = incoming;
            engineConfig_ = message.config;
            gainsStale_ = true;
            unscheduledCloses_ |= 1u << message.slot;
        }
    } else if (message.kind == WorkMessage::kOpenFailed) {
        openFailed_ = true;
        failedConfig_ = message.config;
    } else {
        return LV2_WORKER_ERR_UNKNOWN;
    }
    openPending_.store(false, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
}

void StereoExpanderPlugin::switchPreparedEngine(const ExpanderConfig& config) {
    if (config == engineConfig_) return;
    engine_ = prepared_[config.shaping][config.backend];
    delayLines_.setDelays(config.delayLeft, config.delayRight);
    engineConfig_ = config;
    gainsStale_ = true;
    restartEngine();
}

void StereoExpanderPlugin::applyGains(const GainSettings& gains) {
    if (gainsStale_ || gains.spread != engineGains_.spread) veSetSpread(engine_, gains.spread);
    if (gainsStale_ || gains.center != engineGains_.center) veSetCenter(engine_, gains.center);
    if (gainsStale_ || gains.scaleLeft != engineGains_.scaleLeft ||
        gains.scaleRight != engineGains_.scaleRight) {
        veSetInputScale(engine_, gains.scaleLeft, gains.scaleRight);
    }
    engineGains_ = gains;
    gainsStale_ = false;
}

void StereoExpanderPlugin::restartEngine() {
    veReset(engine_);
    if (worker_ == nullptr) delayLines_.clear();
}

void StereoExpanderPlugin::processChunk(uint32_t offset, uint32_t frames) {
    // The input is copied first: hosts may hand the same buffer for input and output.
    const float* in[2] = {static_cast<const float*>(ports_[port::kInLeft]) + offset,
                          static_cast<const float*>(ports_[port::kInRight]) + offset};
    float* out[2] = {static_cast<float*>(ports_[port::kOutLeft]) + offset,
                     static_cast<float*>(ports_[port::kOutRight]) + offset};
    for (int ch = 0; ch < 2; ++ch) std::copy_n(in[ch], frames, dry_[ch]);

    if (fade_.bypassed()) {
        for (int ch = 0; ch < 2; ++ch) std::copy_n(dry_[ch], frames, out[ch]);
        return;
    }

    for (uint32_t i = 0; i < frames; ++i) {
        pcm_[2 * i] = floatToPcm16(dry_[0][i]);
        pcm_[2 * i + 1] = floatToPcm16(dry_[1][i]);
    }
    if (worker_ == nullptr) delayLines_.process(pcm_, frames);
    veProcess16(engine_, pcm_, pcm_, frames);

    float* wet[2] = {fade_.processing() ? out[0] : wet_[0], fade_.processing() ? out[1] : wet_[1]};
    for (uint32_t i = 0; i < frames; ++i) {
        wet[0][i] = pcm16ToFloat(pcm_[2 * i]);
        wet[1][i] = pcm16ToFloat(pcm_[2 * i + 1]);
    }
    if (fade_.processing()) return;

    const float* wetIn[2] = {wet_[0], wet_[1]};
    const float* dryIn[2] = {dry_[0], dry_[1]};
    fade_.mix(wetIn, dryIn, out, 2, frames);
    // A finished fade to bypass leaves the engine as a bypassed library engine is left: reset,
    // so that enabling it again starts from silence.
    if (fade_.bypassed()) restartEngine();
}

StereoExpanderPlugin* self(LV2_Handle handle) {
    return static_cast<StereoExpanderPlugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    auto* plugin = new (std::nothrow) StereoExpanderPlugin(wholeSampleRate(rate), features);
    if (plugin == nullptr) {
        HostFeatures(features).error("ve Stereo Expander: out of memory.\n");
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

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle respondHandle, uint32_t size, const void* data) {
    return self(handle)->work(respond, respondHandle, size, data);
}

LV2_Worker_Status workResponse(LV2_Handle handle, uint32_t size, const void* data) {
    return self(handle)->workResponse(size, data);
}

const void* extensionData(const char* uri) {
    static const LV2_Worker_Interface worker{work, workResponse, nullptr};
    return std::strcmp(uri, LV2_WORKER__interface) == 0 ? &worker : nullptr;
}

const LV2_Descriptor kDescriptor{
    kStereoExpanderUri, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData};

}  // namespace

const LV2_Descriptor* stereoExpanderDescriptor() {
    return &kDescriptor;
}

}  // namespace ve::lv2
