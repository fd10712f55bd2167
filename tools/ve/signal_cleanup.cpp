#include "signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace ve_cli {
namespace {

// A handler may only use async-signal-safe calls, so the paths live in fixed storage and each
// slot is published by its flag only after its path is complete.
struct CleanupSlot {
    volatile sig_atomic_t inUse = 0;
    char path[PATH_MAX] = {};
};

constexpr int kSlotCount = 8;
CleanupSlot slots[kSlotCount];

void removeTemporaryFilesAndDie(int signalNumber) {
    for (auto& slot : slots)
        if (slot.inUse) unlink(slot.path);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

}  // namespace

void installSignalCleanup() {
    struct sigaction action {};
    action.sa_handler = removeTemporaryFilesAndDie;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

int registerCleanupPath(const std::string& path) {
    if (path.size() >= PATH_MAX) throw std::length_error("temporary path too long");
    for (int i = 0; i < kSlotCount; ++i) {
        if (slots[i].inUse) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);  // path first, then the flag
        slots[i].inUse = 1;
        return i;
    }
    throw std::logic_error("too many temporary files open at once");
}

void forgetCleanupPath(int slot) {
    if (slot >= 0 && slot < kSlotCount) slots[slot].inUse = 0;
}

}  // namespace ve_cli
