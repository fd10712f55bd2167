// SehTryExcept: a per-thread chain of guard frames, each a resume point saved with sigsetjmp.
// A fault handler jumps to the faulting thread's innermost frame; a C++ exception is caught at
// the frame itself.
#include <cxxabi.h>
#include <pthread.h>
#include <setjmp.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
    // Leaving by siglongjmp skips the kernel's restoring of the signal mask, and a handler that
    // chained to this one may have blocked more. The context holds the mask from the moment of
    // the fault, so the guard resumes with the mask it ran with, at the price of one system call
    // per fault rather than one per guard.
    pthread_sigmask(SIG_SETMASK, &static_cast<const ucontext_t*>(context)->uc_sigmask, nullptr);
    siglongjmp(guard->resume, 1);
}

// A stack overflow leaves no stack for the handler, so each guarding thread gets an alternate
// signal stack unless it has one already. The stacks are released through a thread-specific key
// rather than a thread_local destructor, which would keep the layer from being unloaded while any
// thread that used a guard lives.
struct AlternateStack {
    void* memory;
    size_t size;
};

__attribute__((tls_model("initial-exec"))) thread_local bool alternateStackChecked = false;
pthread_key_t alternateStackKey;
bool alternateStackKeyCreated = false;

void releaseAlternateStack(void* record) {
    auto* stack = static_cast<AlternateStack*>(record);
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == stack->memory) {
        stack_t disable{};
        disable.ss_flags = SS_DISABLE;
        sigaltstack(&disable, nullptr);
    }
    munmap(stack->memory, stack->size);
    delete stack;
}

void ensureAlternateStack() {
    if (alternateStackChecked) return;
    alternateStackChecked = true;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
    const long minimum = sysconf(_SC_SIGSTKSZ);
    const size_t size = std::max<size_t>(minimum > 0 ? static_cast<size_t>(minimum) : 0, 64 * 1024);
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return;
    }
    if (alternateStackKeyCreated)
        pthread_setspecific(alternateStackKey, new AlternateStack{memory, size});
}

// The handlers are installed by the first guard and stay while this layer is loaded: installing
// and restoring them around every call would cost a dozen system calls, more than a short guarded
// call does work. Faults they do not claim go on to the handlers found at installation, which are
// put back when the layer is unloaded.
std::once_flag installation;
std::atomic<bool> installed{false};

void installHandlers() {
    alternateStackKeyCreated = pthread_key_create(&alternateStackKey, releaseAlternateStack) == 0;
    struct sigaction ours {};
    ours.sa_sigaction = onFault;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&ours.sa_mask);
    for (int i = 0; i < faultSignalCount; ++i)
        sigaction(faultSignals[i], &ours, &previousActions[i]);
    installed.store(true, std::memory_order_release);
}

struct RestoreAtUnload {
    ~RestoreAtUnload() {
        if (!installed.load(std::memory_order_acquire)) return;
        if (alternateStackKeyCreated) {
            // Other threads keep their stacks; only the key, whose destructor lives here, goes.
            if (void* own = pthread_getspecific(alternateStackKey)) releaseAlternateStack(own);
            pthread_key_delete(alternateStackKey);
        }
        for (int i = 0; i < faultSignalCount; ++i) {
            // Someone who replaced our handler meanwhile keeps theirs.
            struct sigaction current {};
            sigaction(faultSignals[i], nullptr, &current);
            if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == onFault)
                sigaction(faultSignals[i], &previousActions[i], nullptr);
        }
    }
} restoreAtUnload;

}  // namespace

extern "C" BOOL WINAPI SehTryExcept(void (*body)(void*), void* context, DWORD* exceptionCode) {
    std::call_once(installation, installHandlers);
    ensureAlternateStack();
    GuardFrame frame;
    frame.outer = innermostGuard;
    frame.exceptionCode = 0;
    if (sigsetjmp(frame.resume, 0) != 0) {
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
