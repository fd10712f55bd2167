// SehTryExcept: a per-thread chain of guard frames, each a resume point saved with sigsetjmp.
// A fault handler jumps to the faulting thread's innermost frame; a C++ exception is caught at
// the frame itself.
#include <cxxabi.h>
#include <setjmp.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <mutex>

#include "platform/seh/exception_codes.h"
#include "platform/seh/structured_exceptions.h"

namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int faultSignalCount = sizeof faultSignals / sizeof faultSignals[0];

struct GuardFrame {
    sigjmp_buf resume;
    GuardFrame* outer;
    volatile DWORD exceptionCode;
};

// Read by the fault handler, so it must not need an allocation on first use: initial-exec TLS
// lives in the thread's static block.
__attribute__((tls_model("initial-exec"))) thread_local GuardFrame* innermostGuard = nullptr;

struct sigaction previousActions[faultSignalCount];

int indexOf(int signal) {
    return static_cast<int>(std::find(faultSignals, faultSignals + faultSignalCount, signal) -
                            faultSignals);
}

// A fault that no guard of this thread claims goes where it would have gone without us.
void passOn(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previousActions[indexOf(signal)];
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction != nullptr) previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN && info->si_code <= 0) return;
    if (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN) {
        // Restore the default action and let it happen: a faulting instruction runs again on return
        // and faults under the default action; a sent signal is sent again and arrives once this
        // handler returns.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        if (info->si_code <= 0) raise(signal);
        return;
    }
    previous.sa_handler(signal);
}

void onFault(int signal, siginfo_t* info, void* context) {
    GuardFrame* guard = innermostGuard;
    // Only a fault raised by the processor (si_code > 0) belongs to the guarded code.
    if (guard == nullptr || info->si_code <= 0) {
        passOn(signal, info, context);
        return;
    }
    innermostGuard = guard->outer;
    guard->exceptionCode = platform::seh::exceptionCodeFor(signal, *info);
    siglongjmp(guard->resume, 1);
}

// The handlers are installed while at least one guard is active in the process.
std::mutex installationLock;
int activeGuards = 0;

class HandlerInstallation {
  public:
    HandlerInstallation() {
        std::lock_guard<std::mutex> lock(installationLock);
        if (activeGuards++ > 0) return;
        struct sigaction ours {};
        ours.sa_sigaction = onFault;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        for (int i = 0; i < faultSignalCount; ++i)
            sigaction(faultSignals[i], &ours, &previousActions[i]);
    }

    ~HandlerInstallation() {
        std::lock_guard<std::mutex> lock(installationLock);
        if (--activeGuards > 0) return;
        for (int i = 0; i < faultSignalCount; ++i) {
            // Someone who replaced our handler meanwhile keeps theirs.
            struct sigaction current {};
            sigaction(faultSignals[i], nullptr, &current);
            if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == onFault)
                sigaction(faultSignals[i], &previousActions[i], nullptr);
        }
    }

    HandlerInstallation(const HandlerInstallation&) = delete;
    HandlerInstallation& operator=(const HandlerInstallation&) = delete;
};

// A stack overflow leaves no stack for the handler, so each guarding thread gets an alternate
// signal stack unless it has one already.
class AlternateStack {
  public:
    void ensure() {
        if (memory_ != nullptr) return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
        const long minimum = sysconf(_SC_SIGSTKSZ);
        size_t size = std::max<size_t>(minimum > 0 ? static_cast<size_t>(minimum) : 0, 64 * 1024);
        void* memory =
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return;
        stack_t stack{};
        stack.ss_sp = memory;
        stack.ss_size = size;
        if (sigaltstack(&stack, nullptr) != 0) {
            munmap(memory, size);
            return;
        }
        memory_ = memory;
        size_ = size;
    }

    ~AlternateStack() {
        if (memory_ == nullptr) return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory_) {
            stack_t disable{};
            disable.ss_flags = SS_DISABLE;
            sigaltstack(&disable, nullptr);
        }
        munmap(memory_, size_);
    }

  private:
    void* memory_ = nullptr;
    size_t size_ = 0;
};

thread_local AlternateStack alternateStack;

}  // namespace

extern "C" BOOL WINAPI SehTryExcept(void (*body)(void*), void* context, DWORD* exceptionCode) {
    alternateStack.ensure();
    HandlerInstallation installation;
    GuardFrame frame;
    frame.outer = innermostGuard;
    frame.exceptionCode = 0;
    if (sigsetjmp(frame.resume, 1) != 0) {
        // Arrived from the fault handler, which has unlinked the frame already.
        if (exceptionCode != nullptr) *exceptionCode = frame.exceptionCode;
        return FALSE;
    }
    innermostGuard = &frame;
    try {
        body(context);
    } catch (abi::__forced_unwind&) {
        innermostGuard = frame.outer;  // thread cancellation must go on unwinding
        throw;
    } catch (...) {
        innermostGuard = frame.outer;
        if (exceptionCode != nullptr) *exceptionCode = EXCEPTION_CPLUSPLUS;
        return FALSE;
    }
    innermostGuard = frame.outer;
    return TRUE;
}
