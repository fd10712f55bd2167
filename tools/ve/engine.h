// One ve32 engine behind a handle that closes itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ve_cli {

enum class EngineKind { Expander, MonoToStereo };
enum class BackendChoice { Auto, Fpu, Mmx };

struct ExpanderSettings {
    float spreadDb = 0;
    float centerDb = 0;
    float scaleLeftDb = 0;
    float scaleRightDb = 0;
    int delayLeft = 0;  // samples
    int delayRight = 0;
    bool sectionTable = false;  // one pole-zero section instead of the pole-pair table
};

const char* engineName(EngineKind kind);

class Engine {
  public:
    // Throws ToolError when the library refuses (out of memory, a rate it does not take) and
    // when the packed back-end is asked for on a processor without MMX.
    Engine(EngineKind kind, int sampleRate, BackendChoice backend,
           const ExpanderSettings& settings);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // `in` holds inputChannels(kind) samples per frame, `out` two; they must not overlap.
    void process(const int16_t* in, int16_t* out, size_t frames);
    void process(const uint8_t* in, uint8_t* out, size_t frames);

  private:
    EngineKind kind_;
    void* handle_ = nullptr;
};

}  // namespace ve_cli
