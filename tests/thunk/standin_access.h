#pragma once
// The stand-in ve32 that the bridge loaded, reached through the loader like any module.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/loader/dynamic_library.h"
#include "standin/standin_log.h"

class StandinAccess {
  public:
    StandinAccess() : module_(LoadLibraryA("ve32.dll")) {
        if (module_ == nullptr) return;
        log_ = reinterpret_cast<StandinLog*>(GetProcAddress(module_, "standinLog"));
        control_ = reinterpret_cast<StandinControl*>(GetProcAddress(module_, "standinControl"));
        veEngine_ = reinterpret_cast<void*>(GetProcAddress(module_, "standinVeEngine"));
        m2sEngine_ = reinterpret_cast<void*>(GetProcAddress(module_, "standinM2sEngine"));
        if (log_ != nullptr) log_->count = 0;
        if (control_ != nullptr) *control_ = StandinControl{};
    }
    ~StandinAccess() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    StandinAccess(const StandinAccess&) = delete;
    StandinAccess& operator=(const StandinAccess&) = delete;

    bool ready() const { return log_ != nullptr && control_ != nullptr; }
    StandinControl& control() { return *control_; }
    int callCount() const { return log_->count; }
    const StandinCall& lastCall() const {
        return log_->calls[(log_->count - 1) % standinLogCapacity];
    }
    bool lastCallWas(const char* function) const {
        return log_->count > 0 && std::strcmp(lastCall().function, function) == 0;
    }
    void* veEngine() const { return veEngine_; }
    void* m2sEngine() const { return m2sEngine_; }

  private:
    HMODULE module_;
    StandinLog* log_ = nullptr;
    StandinControl* control_ = nullptr;
    void* veEngine_ = nullptr;
    void* m2sEngine_ = nullptr;
};
