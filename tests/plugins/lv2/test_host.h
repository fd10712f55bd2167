#pragma once
// A small LV2 host for tests: loads the bundle's binary from the build tree, offers the features a
// real host would (URID map, log, worker) and drives one plugin instance block by block. The
// audio-thread calls (run and the delivery of worker responses) run with the allocation counter
// armed; work itself runs outside, as in a real host's worker thread.

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ve::lv2::testing {

// The plugin binary of the build-tree bundle, loaded once per test process.
const LV2_Descriptor* findPlugin(const char* uri);

enum class WorkerMode {
    kNone,      // the host offers no worker (like ffmpeg and lv2apply)
    kDeferred,  // jobs run after each run(); their responses are delivered before the next one
    kThreaded,  // jobs run on a worker thread; responses are delivered before each run()
};

struct HostOptions {
    WorkerMode worker = WorkerMode::kDeferred;
    bool log = true;
};

// A fixed-capacity queue of worker messages: scheduling from run() must not allocate, not even
// in the host.
class MessageQueue {
  public:
    bool push(uint32_t size, const void* data);
    bool pop(uint32_t* size, void* data);  // data holds at least kMaxMessage bytes
    bool empty() const { return count_ == 0; }

    static constexpr uint32_t kMaxMessage = 64;

  private:
    struct Message {
        uint32_t size;
        unsigned char data[kMaxMessage];
    };
    std::array<Message, 32> messages_{};
    size_t first_ = 0;
    size_t count_ = 0;
};

class TestHost {
  public:
    TestHost(const char* uri, double sampleRate, HostOptions options = {});
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    bool instantiated() const { return instance_ != nullptr; }
    const std::vector<std::string>& logMessages() const { return log_; }

    void connect(uint32_t port, void* data);
    void activate();
    // One audio cycle: pending responses, run(frames), then (deferred mode) the queued jobs.
    void run(uint32_t frames);
    // Threaded mode: waits until every scheduled job has run and its response was delivered.
    void settleWorker();

    // Failure injection: the next `count` schedule or respond calls are refused.
    void refuseSchedules(int count) { refusedSchedules_ = count; }
    void refuseResponds(int count) { refusedResponds_ = count; }

    long audioThreadAllocations() const { return allocations_; }
    long audioThreadReleases() const { return releases_; }
    // Frames processed before the most recent delivery of a worker response.
    uint64_t lastResponseFrame() const { return lastResponseFrame_; }
    uint64_t framesProcessed() const { return frames_; }

  private:
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri);
    static int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...);
    static int logVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args);
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                      const void* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size,
                                     const void* data);

    void runJobs();
    void deliverResponses();
    void workerLoop();

    HostOptions options_;
    const LV2_Descriptor* descriptor_ = nullptr;
    LV2_Handle instance_ = nullptr;
    const LV2_Worker_Interface* workerInterface_ = nullptr;

    std::vector<std::string> uris_;
    std::vector<std::string> log_;
    LV2_URID_Map mapFeatureData_{};
    LV2_Log_Log logFeatureData_{};
    LV2_Worker_Schedule scheduleFeatureData_{};
    LV2_Feature mapFeature_{};
    LV2_Feature logFeature_{};
    LV2_Feature scheduleFeature_{};
    std::vector<const LV2_Feature*> features_;

    std::mutex mutex_;  // guards the queues in threaded mode
    std::condition_variable jobsChanged_;
    MessageQueue jobs_;
    MessageQueue responses_;
    int jobsInProgress_ = 0;
    bool stopWorker_ = false;
    std::thread workerThread_;

    int refusedSchedules_ = 0;
    int refusedResponds_ = 0;
    long allocations_ = 0;
    long releases_ = 0;
    uint64_t frames_ = 0;
    uint64_t lastResponseFrame_ = 0;
};

}  // namespace ve::lv2::testing
