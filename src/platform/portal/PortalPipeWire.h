/* The video stream of a granted screen cast, read through PipeWire on a thread of its own.
 * In C, as PipeWire's own headers are: their parameter builders are C macros.
 *
 * The stream runs for the whole run and the newest frame is kept, not copied: each new
 * frame takes the place of the one kept, which goes back to the compositor. The compositor
 * sends frames only when the screen changes, so a quiet screen costs nothing, and a
 * capture reads the screen as it is without asking for a fresh frame. Frames come in
 * memory buffers (no DMA-BUF, which would need a GPU to read). Where the compositor sends
 * the pointer as metadata, its latest position is kept too. */
#ifndef KESTREL_PORTAL_PIPEWIRE_H
#define KESTREL_PORTAL_PIPEWIRE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KestrelPwStream KestrelPwStream;

/* The kept frame: rows of 32-bit pixels, the colour bytes where `RedShift`, `GreenShift`
 * and `BlueShift` say in each little-endian word. */
typedef struct KestrelPwFrame {
    const uint8_t* Pixels;
    int Width;
    int Height;
    int Stride;
    int RedShift;
    int GreenShift;
    int BlueShift;
} KestrelPwFrame;

/* Connects to the PipeWire remote `fd` (taken over) and the stream of node `node`. Null on
 * failure, with why in `error`. `pictured`, if not null, is called once with `data` as the
 * first picture comes, on PipeWire's thread. */
KestrelPwStream* KestrelPwOpen(int fd, uint32_t node, void (*pictured)(void*), void* data,
                               char* error, size_t errorSize);

/* 1 while frames can come, 0 while the stream is still being set up, -1 once it ended (the
 * desktop stopped the cast, PipeWire went away), with why in `error`. */
int KestrelPwState(KestrelPwStream* stream, char* error, size_t errorSize);

/* Calls `use` with the newest frame while holding it still; returns what `use` returned,
 * or -1 without calling it when no frame has come yet. */
int KestrelPwWithFrame(KestrelPwStream* stream, int (*use)(const KestrelPwFrame* frame, void* data),
                       void* data);

/* Whether a first picture came: a stream streams a moment before it has one. */
int KestrelPwPictured(KestrelPwStream* stream);

/* 1 with the kept frame's size, which follows the monitor's mode; 0 while none is kept. */
int KestrelPwSize(KestrelPwStream* stream, int* width, int* height);

/* The pointer's hot spot in the stream's pixels: 1 with the position where the compositor
 * says where it is on this monitor, 0 where it is not on it or was never said. */
int KestrelPwPointer(KestrelPwStream* stream, int* x, int* y);

/* Whether the compositor agreed to send the pointer as metadata. */
int KestrelPwSendsPointer(KestrelPwStream* stream);

void KestrelPwClose(KestrelPwStream* stream);

#ifdef __cplusplus
}
#endif

#endif
