#include "engine.h"

#include <fmt/format.h>

#include "cpu_features.h"
#include "errors.h"
#include "supported_rates.h"
#include "ve32.h"

namespace ve_cli {
namespace {

unsigned openFlags(BackendChoice backend, bool sectionTable) {
    unsigned flags = VE32_BACKEND_AUTO;
    if (backend == BackendChoice::Fpu) flags = VE32_BACKEND_FPU;
    if (backend == BackendChoice::Mmx) flags = VE32_BACKEND_MMX;
    if (sectionTable) flags |= VE32_FLAG_SECTION_SHAPING;
    return flags;
}

}  // namespace

const char* engineName(EngineKind kind) {
    return kind == EngineKind::Expander ? "stereo expander" : "mono-to-stereo";
}

Engine::Engine(EngineKind kind, int sampleRate, BackendChoice backend,
               const ExpanderSettings& settings)
    : kind_(kind) {
    // The library trusts a request for the packed back-end; on a processor without MMX its code
    // would fault, so ve refuses first.
    if (backend == BackendChoice::Mmx && !readCpuFeatures().mmx)
        throw ToolError(
            "this processor does not report MMX, so --backend mmx cannot run here; "
            "accepted here: auto, fpu");

    unsigned flags = openFlags(backend, settings.sectionTable);
    int result = kind == EngineKind::Expander ? veOpen(&handle_, sampleRate, flags)
                                              : m2sOpen(&handle_, sampleRate, flags);
    if (result == VE32_UNSUPPORTED_RATE)
        throw ToolError(fmt::format("the {} engine does not take {} Hz; supported rates are {}",
                                    engineName(kind), sampleRate, supportedRatesText()));
    if (result != VE32_OK || !handle_)
        throw ToolError(fmt::format(
            "cannot open the {} engine: {}", engineName(kind),
            result == VE32_OUT_OF_MEMORY ? "out of memory" : "unexpected library result"));
    if (kind == EngineKind::Expander) {
        veSetSpread(handle_, settings.spreadDb);
        veSetCenter(handle_, settings.centerDb);
        veSetInputScale(handle_, settings.scaleLeftDb, settings.scaleRightDb);
        veSetInputDelay(handle_, settings.delayLeft, settings.delayRight);
    }
}

Engine::~Engine() {
    if (kind_ == EngineKind::Expander)
        veClose(handle_);
    else
        m2sClose(handle_);
}

void Engine::process(const int16_t* in, int16_t* out, size_t frames) {
    if (kind_ == EngineKind::Expander)
        veProcess16(handle_, in, out, static_cast<unsigned>(frames));
    else
        m2sProcess16(handle_, in, out, static_cast<unsigned>(frames));
}

void Engine::process(const uint8_t* in, uint8_t* out, size_t frames) {
    if (kind_ == EngineKind::Expander)
        veProcess8(handle_, in, out, static_cast<unsigned>(frames));
    else
        m2sProcess8(handle_, in, out, static_cast<unsigned>(frames));
}

}  // namespace ve_cli
