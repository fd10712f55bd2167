#include "progress.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>

#include "frame_stream.h"

namespace ve_cli {
namespace {

// Short runs finish before this and show nothing; longer ones redraw at this interval.
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

}  // namespace

bool progressWanted(bool quiet) {
    return !quiet && isatty(STDERR_FILENO);
}

Progress::Progress(bool enabled, int sampleRate, int64_t totalFrames)
    : enabled_(enabled),
      sampleRate_(sampleRate),
      totalFrames_(totalFrames),
      start_(Clock::now()),
      lastDraw_(start_) {}

void Progress::update(int64_t framesDone) {
    if (!enabled_) return;
    auto now = Clock::now();
    if (now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    draw(framesDone, std::chrono::duration<double>(now - start_).count());
}

void Progress::finish(int64_t framesDone) {
    if (!enabled_ || !drawn_) return;
    draw(framesDone, std::chrono::duration<double>(Clock::now() - start_).count());
    fmt::print(stderr, "\n");
}

void Progress::draw(int64_t framesDone, double elapsedSeconds) {
    double audioSeconds = static_cast<double>(framesDone) / sampleRate_;
    double speed = elapsedSeconds > 0 ? audioSeconds / elapsedSeconds : 0;
    if (totalFrames_ != kUnknownLength && totalFrames_ > 0) {
        double percent =
            100.0 * static_cast<double>(framesDone) / static_cast<double>(totalFrames_);
        fmt::print(stderr, "\rve: {:5.1f}% of {:.1f} s, {:.1f}x real time   ", percent,
                   static_cast<double>(totalFrames_) / sampleRate_, speed);
    } else {
        fmt::print(stderr, "\rve: {:.1f} s processed, {:.1f}x real time   ", audioSeconds, speed);
    }
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace ve_cli
