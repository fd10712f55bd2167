// A module with an entry point: it reports every call to the test program and answers attach as
// the test program says.
#include "platform/win32_types.h"

extern "C" {
// Exported by the test program.
void loaderTestNoteEntry(HINSTANCE instance, DWORD reason);
BOOL loaderTestAttachAnswer();
int dependencyFunction();

__attribute__((visibility("default"))) int moduleData = 1234;

__attribute__((visibility("default"))) int moduleFunction() {
    return 40 + dependencyFunction() / 7 + 1;
}

__attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                                                           LPVOID) {
    loaderTestNoteEntry(instance, reason);
    return reason == 1 ? loaderTestAttachAnswer() : TRUE;
}
}
