// A progress line on standard error while a long run goes on: percentage (when the length is
// known) and speed as a multiple of real time. Shown only when standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace ve_cli {

class Progress {
  public:
    // totalFrames may be kUnknownLength; then the line shows the seconds processed instead.
    Progress(bool enabled, int sampleRate, int64_t totalFrames);
    // Cheap enough to call after every block: the line is redrawn at most a few times a second.
    void update(int64_t framesDone);
    // Draws the final state and ends the line, if anything was drawn.
    void finish(int64_t framesDone);

  private:
    void draw(int64_t framesDone, double elapsedSeconds);

    using Clock = std::chrono::steady_clock;
    bool enabled_;
    int sampleRate_;
    int64_t totalFrames_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    bool drawn_ = false;
};

// True when progress should be drawn: standard error is a terminal and --quiet was not given.
bool progressWanted(bool quiet);

}  // namespace ve_cli
