#pragma once
// What the host offers an instance: its log (for messages a user should see) and its worker
// (for work that may allocate). Both are optional; without a log, messages go to standard error.

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

namespace ve::lv2 {

class HostFeatures {
  public:
    explicit HostFeatures(const LV2_Feature* const* features);

    // The host's worker, or null when it has none.
    const LV2_Worker_Schedule* worker() const { return worker_; }

    // Reports an error to the user. Not for the audio thread: hosts make logging real-time safe
    // only for trace messages.
    void error(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  private:
    const LV2_Log_Log* log_ = nullptr;
    LV2_URID errorType_ = 0;
    const LV2_Worker_Schedule* worker_ = nullptr;
};

}  // namespace ve::lv2
