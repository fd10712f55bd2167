#pragma once
// Taking and releasing the Win16 lock on behalf of 16-bit code (the dispatcher's caller).

namespace platform::thunk {

void enterWin16Lock();
void leaveWin16Lock();

}  // namespace platform::thunk
