// Posting, retrieving and dispatching messages, and timers.

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/kernel32/input_idle.h"
#include "platform/user32/user_state.h"
#include "platform/user32/window_table.h"
#include "platform/user32/winuser.h"

namespace ve::user {
namespace {

using Clock = std::chrono::steady_clock;

bool inRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

// Read at every SetTimer, so that a test can choose it before setting its timers.
double timerScale() {
    const char* text = std::getenv("VE_TIMER_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0.0 && value <= 1000.0)) {
        std::fprintf(stderr,
                     "VE_TIMER_SCALE=\"%s\" ignored: expected a factor above 0 and at most 1000\n",
                     text);
        return 1.0;
    }
    return value;
}

void fill(MSG& out, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    out = MSG{window, message, wParam, lParam, GetTickCount(), {0, 0}};
}

// Blocks until a message arrives or the next timer is due.
void waitForMessages() {
    UserState& state = userState();
    ve::kernel::signalInputIdle();
    int timeout = -1;
    if (!state.timers.empty()) {
        auto next = std::min_element(state.timers.begin(), state.timers.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
        auto left = std::chrono::ceil<std::chrono::milliseconds>(next->due - Clock::now());
        timeout = int(std::clamp<long long>(left.count(), 0, 1 << 30));
    }
    pollfd entry{state.queue.descriptor(), POLLIN, 0};
    int ready = ::poll(&entry, state.queue.isOpen() ? 1 : 0, timeout);
    (void)ready;  // EINTR and time-outs both just mean: look again
}

bool ensureQueue() {
    UserState& state = userState();
    if (state.queue.isOpen()) return true;
    std::string desktop = ve::desktop::directory();
    return !desktop.empty() && state.queue.open(desktop);
}

}  // namespace

std::chrono::milliseconds scaledTimerInterval(UINT milliseconds) {
    UINT clamped = std::clamp<UINT>(milliseconds, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    double scaled = std::round(double(clamped) * timerScale());
    return std::chrono::milliseconds(std::max<long long>(1, static_cast<long long>(scaled)));
}

bool takeMessage(MSG& out, HWND window, UINT first, UINT last, bool remove) {
    UserState& state = userState();
    state.queue.receive();
    auto& pending = state.queue.pending();
    for (auto it = pending.begin(); it != pending.end();) {
        HWND target = windowHandle(it->window);
        // Messages for windows destroyed meanwhile are dropped, as destruction removes them.
        if (it->window != 0 && state.windows.count(it->window) == 0) {
            it = pending.erase(it);
            continue;
        }
        if ((window == nullptr || target == window) && inRange(it->message, first, last)) {
            fill(out, target, it->message, WPARAM(it->wParam), LPARAM(it->lParam));
            out.time = it->time;
            if (remove) pending.erase(it);
            return true;
        }
        ++it;
    }
    if (state.quitPosted && window == nullptr && inRange(WM_QUIT, first, last)) {
        fill(out, nullptr, WM_QUIT, WPARAM(state.quitCode), 0);
        if (remove) state.quitPosted = false;
        return true;
    }
    if (inRange(WM_TIMER, first, last)) {
        auto now = Clock::now();
        for (Timer& timer : state.timers) {
            if (timer.due > now || (window != nullptr && timer.window != window)) continue;
            fill(out, timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.procedure));
            if (remove) timer.due = now + timer.interval;
            return true;
        }
    }
    return false;
}

}  // namespace ve::user

using namespace ve::user;

extern "C" BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
    if (message == nullptr || (window != nullptr && findLocalWindow(window) == nullptr)) {
        SetLastError(message == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    if (!ensureQueue()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    while (!takeMessage(*message, window, first, last, true)) waitForMessages();
    return message->message == WM_QUIT ? FALSE : TRUE;
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last,
                                    UINT remove) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ensureQueue();
    if (takeMessage(*message, window, first, last, (remove & PM_REMOVE) != 0)) return TRUE;
    ve::kernel::signalInputIdle();
    return FALSE;
}

extern "C" BOOL WINAPI TranslateMessage(const MSG*) {
    // There is no keyboard here, so there are never key messages to translate.
    return FALSE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (message == nullptr) return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        procedure(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
        return 0;
    }
    LocalWindow* local = findLocalWindow(message->hwnd);
    if (local == nullptr) return 0;
    return local->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

extern "C" BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    QueuedMessage record{handleNumber(window), message,        uint64_t(wParam),
                         int64_t(lParam),      GetTickCount(), 0};
    UserState& state = userState();
    DWORD error;
    if (window == nullptr || findLocalWindow(window) != nullptr) {
        // Our own windows and the thread itself: through our own queue, to keep the order.
        error = ensureQueue() ? postToQueue(state.queue.desktop(), state.queue.name(), record)
                              : ERROR_ACCESS_DENIED;
    } else {
        std::string desktop = ve::desktop::directory();
        auto target = desktop.empty() || record.window == 0
                          ? std::nullopt
                          : findWindowRecord(desktop, record.window);
        error = target ? postToQueue(desktop, target->queue, record) : ERROR_INVALID_WINDOW_HANDLE;
    }
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

extern "C" LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LocalWindow* local = findLocalWindow(window);
    if (local == nullptr) {
        SetLastError(IsWindow(window) ? ERROR_NOT_SUPPORTED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return local->procedure(window, message, wParam, lParam);
}

extern "C" void WINAPI PostQuitMessage(int exitCode) {
    UserState& state = userState();
    state.quitPosted = true;
    state.quitCode = exitCode;
}

extern "C" UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT milliseconds,
                                    TIMERPROC procedure) {
    UserState& state = userState();
    if (window != nullptr && findLocalWindow(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // A timer without a window gets a number of its own unless it names one it already has.
    auto same = [&](const Timer& t) { return t.window == window && t.id == id; };
    if (window == nullptr && std::none_of(state.timers.begin(), state.timers.end(), same))
        id = state.nextThreadTimerId++;
    std::erase_if(state.timers, same);
    auto interval = scaledTimerInterval(milliseconds);
    state.timers.push_back(Timer{window, id, interval, procedure, Clock::now() + interval});
    return id != 0 ? id : 1;
}

extern "C" BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    UserState& state = userState();
    size_t removed = std::erase_if(
        state.timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    if (removed == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD WINAPI WaitForInputIdle(HANDLE process, DWORD milliseconds) {
    return ve::kernel::waitForProcessInputIdle(process, milliseconds);
}
