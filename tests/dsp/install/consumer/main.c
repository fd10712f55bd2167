#include <stdio.h>
#include <ve32.h>

int main(void) {
    void* handle = NULL;
    int16_t frames[8] = {100, -100, 200, -200, 300, -300, 400, -400};
    if (veOpen(&handle, 48000, VE32_BACKEND_AUTO) != VE32_OK) return 1;
    veProcess16(handle, frames, frames, 4);
    veClose(handle);
    puts("consumer ok");
    return 0;
}
