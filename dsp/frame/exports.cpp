// The library's C interface: each export forwards to one operation of the engine behind the
// handle. Only these functions leave the library (see ve32.map).

#include "dsp/engines/mono_to_stereo.h"
#include "dsp/engines/stereo_expander.h"
#include "dsp/frame/open_procedure.h"
#include "ve32.h"

using ve32::MonoToStereo;
using ve32::MonoToStereoBase;
using ve32::StereoExpander;
using ve32::StereoExpanderBase;

namespace {
StereoExpanderBase* expander(void* handle) {
    return static_cast<StereoExpanderBase*>(handle);
}
MonoToStereoBase* monoToStereo(void* handle) {
    return static_cast<MonoToStereoBase*>(handle);
}
}  // namespace

extern "C" {

VE32_API int VE32_CALL veOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return ve32::openEngine<StereoExpander>(handleOut, sampleRate, flags);
}
VE32_API void VE32_CALL veProcess16(void* handle, const int16_t* in, int16_t* out,
                                    unsigned int frames) {
    expander(handle)->process16(in, out, frames);
}
VE32_API void VE32_CALL veProcess8(void* handle, const uint8_t* in, uint8_t* out,
                                   unsigned int frames) {
    expander(handle)->process8(in, out, frames);
}
VE32_API void VE32_CALL veSetSpread(void* handle, float decibels) {
    expander(handle)->setSpread(decibels);
}
VE32_API void VE32_CALL veSetCenter(void* handle, float decibels) {
    expander(handle)->setCenter(decibels);
}
VE32_API void VE32_CALL veSetInputScale(void* handle, float leftDecibels, float rightDecibels) {
    expander(handle)->setInputScale(leftDecibels, rightDecibels);
}
VE32_API void VE32_CALL veSetInputDelay(void* handle, int leftSamples, int rightSamples) {
    expander(handle)->setInputDelay(leftSamples, rightSamples);
}
VE32_API void VE32_CALL veEnable(void* handle, int enable) {
    expander(handle)->setEnabled(enable);
}
VE32_API void VE32_CALL veReset(void* handle) {
    expander(handle)->reset();
}
VE32_API void VE32_CALL veClose(void* handle) {
    ve32::closeEngine<StereoExpanderBase>(handle);
}

VE32_API int VE32_CALL m2sOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return ve32::openEngine<MonoToStereo>(handleOut, sampleRate, flags);
}
VE32_API void VE32_CALL m2sProcess16(void* handle, const int16_t* in, int16_t* out,
                                     unsigned int frames) {
    monoToStereo(handle)->process16(in, out, frames);
}
VE32_API void VE32_CALL m2sProcess8(void* handle, const uint8_t* in, uint8_t* out,
                                    unsigned int frames) {
    monoToStereo(handle)->process8(in, out, frames);
}
VE32_API void VE32_CALL m2sSetSpread(void* handle, float decibels) {
    monoToStereo(handle)->setSpread(decibels);
}
VE32_API void VE32_CALL m2sSetCenter(void* handle, float decibels) {
    monoToStereo(handle)->setCenter(decibels);
}
VE32_API void VE32_CALL m2sEnable(void* handle, int enable) {
    monoToStereo(handle)->setEnabled(enable);
}
VE32_API void VE32_CALL m2sReset(void* handle) {
    monoToStereo(handle)->reset();
}
VE32_API void VE32_CALL m2sClose(void* handle) {
    ve32::closeEngine<MonoToStereoBase>(handle);
}

}  // extern "C"
