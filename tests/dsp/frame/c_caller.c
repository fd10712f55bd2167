/* A C caller of the library: the header must compile as C and the exports link by their plain
 * names. Exits non-zero on any failure. */
#include <stdio.h>
#include <string.h>

#include "ve32.h"

int main(void) {
    void* expander = NULL;
    void* mono = NULL;
    int16_t stereo[2 * 300];
    int16_t out[2 * 300];
    int16_t monoIn[300];
    uint8_t bytes[2 * 300];
    uint8_t bytesOut[2 * 300];
    int i;

    if (veOpen(&expander, 44100, VE32_BACKEND_AUTO) != VE32_OK || expander == NULL) return 1;
    if (m2sOpen(&mono, 48000, VE32_BACKEND_FPU) != VE32_OK || mono == NULL) return 2;
    for (i = 0; i < 300; ++i) {
        stereo[2 * i] = (int16_t)(i * 37 % 2000 - 1000);
        stereo[2 * i + 1] = (int16_t)(i * 53 % 3000 - 1500);
        monoIn[i] = stereo[2 * i];
    }
    memset(bytes, 0x80, sizeof bytes);
    veSetSpread(expander, 3.0f);
    veSetCenter(expander, -1.0f);
    veSetInputScale(expander, 0.0f, -2.0f);
    veSetInputDelay(expander, 4, 0);
    veProcess16(expander, stereo, out, 300);
    veProcess8(expander, bytes, bytesOut, 300);
    veEnable(expander, 0);
    veProcess16(expander, stereo, out, 300);
    if (memcmp(stereo, out, sizeof out) != 0) return 3;
    veReset(expander);
    m2sProcess16(mono, monoIn, out, 300);
    m2sProcess8(mono, bytes, bytesOut, 300);
    m2sSetSpread(mono, 1.0f);
    m2sSetCenter(mono, 1.0f);
    m2sEnable(mono, 1);
    m2sReset(mono);
    veClose(expander);
    m2sClose(mono);
    veClose(NULL);
    m2sClose(NULL);
    {
        void* none = &none;
        if (veOpen(&none, 96000, 0) != VE32_UNSUPPORTED_RATE || none != NULL) return 4;
    }
    puts("ok");
    return 0;
}
