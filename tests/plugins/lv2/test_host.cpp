#include "tests/plugins/lv2/test_host.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tests/plugins/lv2/counting_allocator.h"

namespace ve::lv2::testing {
namespace {

using DescriptorFunction = const LV2_Descriptor* (*)(uint32_t);

DescriptorFunction loadBundle() {
    static void* library = dlopen(VE_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("cannot load ") + VE_LV2_BINARY);
    return reinterpret_cast<DescriptorFunction>(dlsym(library, "lv2_descriptor"));
}

}  // namespace

const LV2_Descriptor* findPlugin(const char* uri) {
    static const DescriptorFunction descriptorAt = loadBundle();
    if (descriptorAt == nullptr) return nullptr;
    for (uint32_t i = 0; const LV2_Descriptor* descriptor = descriptorAt(i); ++i) {
        if (std::strcmp(descriptor->URI, uri) == 0) return descriptor;
    }
    return nullptr;
}

bool MessageQueue::push(uint32_t size, const void* data) {
    if (count_ == messages_.size() || size > kMaxMessage) return false;
    Message& message = messages_[(first_ + count_) % messages_.size()];
    message.size = size;
    if (size != 0) std::memcpy(message.data, data, size);
    ++count_;
    return true;
}

bool MessageQueue::pop(uint32_t* size, void* data) {
    if (count_ == 0) return false;
    const Message& message = messages_[first_];
    *size = message.size;
    std::memcpy(data, message.data, message.size);
    first_ = (first_ + 1) % messages_.size();
    --count_;
    return true;
}

TestHost::TestHost(const char* uri, double sampleRate, HostOptions options) : options_(options) {
    descriptor_ = findPlugin(uri);
    if (descriptor_ == nullptr) throw std::runtime_error(std::string("no plugin ") + uri);

    mapFeatureData_ = {this, &TestHost::map};
    mapFeature_ = {LV2_URID__map, &mapFeatureData_};
    features_.push_back(&mapFeature_);
    if (options_.log) {
        logFeatureData_ = {this, &TestHost::logPrintf, &TestHost::logVprintf};
        logFeature_ = {LV2_LOG__log, &logFeatureData_};
        features_.push_back(&logFeature_);
    }
    if (options_.worker != WorkerMode::kNone) {
        scheduleFeatureData_ = {this, &TestHost::schedule};
        scheduleFeature_ = {LV2_WORKER__schedule, &scheduleFeatureData_};
        features_.push_back(&scheduleFeature_);
    }
    features_.push_back(nullptr);

    instance_ =
        descriptor_->instantiate(descriptor_, sampleRate, VE_LV2_BUNDLE_DIR "/", features_.data());
    if (instance_ == nullptr) return;
    if (options_.worker != WorkerMode::kNone && descriptor_->extension_data != nullptr) {
        workerInterface_ = static_cast<const LV2_Worker_Interface*>(
            descriptor_->extension_data(LV2_WORKER__interface));
    }
    if (options_.worker == WorkerMode::kThreaded)
        workerThread_ = std::thread([this] { workerLoop(); });
}

TestHost::~TestHost() {
    if (workerThread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopWorker_ = true;
        }
        jobsChanged_.notify_all();
        workerThread_.join();
    }
    if (instance_ != nullptr) descriptor_->cleanup(instance_);
}

void TestHost::connect(uint32_t port, void* data) {
    descriptor_->connect_port(instance_, port, data);
}

void TestHost::activate() {
    if (descriptor_->activate != nullptr) descriptor_->activate(instance_);
}

void TestHost::run(uint32_t frames) {
    const long allocationsBefore = countedAllocations();
    const long releasesBefore = countedReleases();
    armAllocationCounter();
    deliverResponses();
    descriptor_->run(instance_, frames);
    disarmAllocationCounter();
    allocations_ += countedAllocations() - allocationsBefore;
    releases_ += countedReleases() - releasesBefore;
    frames_ += frames;
    if (options_.worker == WorkerMode::kDeferred) runJobs();
}

void TestHost::settleWorker() {
    if (options_.worker != WorkerMode::kThreaded) return;
    std::unique_lock lock(mutex_);
    jobsChanged_.wait(lock, [this] { return jobs_.empty() && jobsInProgress_ == 0; });
}

void TestHost::runJobs() {
    uint32_t size = 0;
    unsigned char data[MessageQueue::kMaxMessage];
    while (jobs_.pop(&size, data))
        workerInterface_->work(instance_, &TestHost::respond, this, size, data);
}

void TestHost::deliverResponses() {
    if (workerInterface_ == nullptr) return;
    uint32_t size = 0;
    unsigned char data[MessageQueue::kMaxMessage];
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!responses_.pop(&size, data)) break;
        }
        workerInterface_->work_response(instance_, size, data);
        lastResponseFrame_ = frames_;
    }
    if (workerInterface_->end_run != nullptr) workerInterface_->end_run(instance_);
}

void TestHost::workerLoop() {
    uint32_t size = 0;
    unsigned char data[MessageQueue::kMaxMessage];
    std::unique_lock lock(mutex_);
    for (;;) {
        jobsChanged_.wait(lock, [this] { return stopWorker_ || !jobs_.empty(); });
        if (stopWorker_) return;
        jobs_.pop(&size, data);
        ++jobsInProgress_;
        lock.unlock();
        workerInterface_->work(instance_, &TestHost::respond, this, size, data);
        lock.lock();
        --jobsInProgress_;
        jobsChanged_.notify_all();
    }
}

LV2_URID TestHost::map(LV2_URID_Map_Handle handle, const char* uri) {
    auto* host = static_cast<TestHost*>(handle);
    for (size_t i = 0; i < host->uris_.size(); ++i) {
        if (host->uris_[i] == uri) return static_cast<LV2_URID>(i + 1);
    }
    host->uris_.emplace_back(uri);
    return static_cast<LV2_URID>(host->uris_.size());
}

int TestHost::logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = logVprintf(handle, type, format, args);
    va_end(args);
    return result;
}

int TestHost::logVprintf(LV2_Log_Handle handle, LV2_URID, const char* format, va_list args) {
    auto* host = static_cast<TestHost*>(handle);
    char text[1024];
    const int length = std::vsnprintf(text, sizeof text, format, args);
    std::lock_guard lock(host->mutex_);
    host->log_.emplace_back(text);
    return length;
}

LV2_Worker_Status TestHost::schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                     const void* data) {
    auto* host = static_cast<TestHost*>(handle);
    if (host->refusedSchedules_ > 0) {
        --host->refusedSchedules_;
        return LV2_WORKER_ERR_NO_SPACE;
    }
    {
        std::lock_guard lock(host->mutex_);
        if (!host->jobs_.push(size, data)) return LV2_WORKER_ERR_NO_SPACE;
    }
    host->jobsChanged_.notify_all();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status TestHost::respond(LV2_Worker_Respond_Handle handle, uint32_t size,
                                    const void* data) {
    auto* host = static_cast<TestHost*>(handle);
    std::lock_guard lock(host->mutex_);
    if (host->refusedResponds_ > 0) {
        --host->refusedResponds_;
        return LV2_WORKER_ERR_NO_SPACE;
    }
    return host->responses_.push(size, data) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
}

}  // namespace ve::lv2::testing
