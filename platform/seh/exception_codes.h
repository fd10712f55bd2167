#pragma once
// The exception code that a processor fault, delivered as a host signal, stands for.

#include <csignal>

#include "platform/win32_types.h"

namespace platform::seh {

DWORD exceptionCodeFor(int signal, const siginfo_t& info);

}  // namespace platform::seh
