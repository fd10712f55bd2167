#include "plugins/lv2/host_features.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace ve::lv2 {

HostFeatures::HostFeatures(const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    for (; features != nullptr && *features != nullptr; ++features) {
        const LV2_Feature* feature = *features;
        if (feature->data == nullptr) continue;
        if (std::strcmp(feature->URI, LV2_LOG__log) == 0) {
            log_ = static_cast<const LV2_Log_Log*>(feature->data);
        } else if (std::strcmp(feature->URI, LV2_URID__map) == 0) {
            map = static_cast<const LV2_URID_Map*>(feature->data);
        } else if (std::strcmp(feature->URI, LV2_WORKER__schedule) == 0) {
            worker_ = static_cast<const LV2_Worker_Schedule*>(feature->data);
        }
    }
    // A log message needs its type as a URID; without a map the host's log cannot be used.
    if (log_ != nullptr && map != nullptr) {
        errorType_ = map->map(map->handle, LV2_LOG__Error);
    }
    if (errorType_ == 0) log_ = nullptr;
}

void HostFeatures::error(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    if (log_ != nullptr) {
        log_->vprintf(log_->handle, errorType_, format, args);
    } else {
        std::vfprintf(stderr, format, args);
    }
    va_end(args);
}

}  // namespace ve::lv2
