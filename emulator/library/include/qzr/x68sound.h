/* The emulator library the player loads by name: our YM2151 with sound output.
 * Every entry takes machine words and returns int, so a call through a function pointer of
 * that shape, as the call-by-name binding makes it, is well defined. */
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define QZR_X68SOUND_API __declspec(dllexport)
#else
#define QZR_X68SOUND_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define QZR_X68SOUND_NOEXCEPT noexcept
extern "C" {
#else
#define QZR_X68SOUND_NOEXCEPT
#endif

/* Starts the chip and its output: the sound device, or where none can be opened a silent clock
 * that keeps real time. Arguments: output rate in Hz (8,000 to 192,000), 1 for the FM chip
 * (0 keeps it silent), other sound source (ignored), tick period in ms (at least 1), number of
 * device buffers, device latency in ms, reserved. 0 when running, -1 when it cannot start (a
 * rate or period out of range, or already running). */
QZR_X68SOUND_API int X68Sound_Start(intptr_t rate, intptr_t fm, intptr_t other,
                                    intptr_t tickPeriodMs, intptr_t bufferCount, intptr_t latencyMs,
                                    intptr_t reserved) QZR_X68SOUND_NOEXCEPT;
/* Stops the output and joins every thread the library started; Start works again after it.
 * Forgets the tick procedure. Called from inside the tick it does nothing (the tick runs on a
 * thread it would have to join). */
QZR_X68SOUND_API int X68Sound_Free(void) QZR_X68SOUND_NOEXCEPT;
/* Drops the queued writes and resets the chip before its next sample; the tick stays. */
QZR_X68SOUND_API int X68Sound_Reset(void) QZR_X68SOUND_NOEXCEPT;
/* Selects the register (low 8 bits) the calling thread's next OpmPoke writes. */
QZR_X68SOUND_API int X68Sound_OpmReg(intptr_t reg) QZR_X68SOUND_NOEXCEPT;
/* Queues the calling thread's selected register with this value (low 8 bits) as one write. */
QZR_X68SOUND_API int X68Sound_OpmPoke(intptr_t data) QZR_X68SOUND_NOEXCEPT;
/* Output gain volume / 1024; the output saturates to 16 bits. */
QZR_X68SOUND_API int X68Sound_TotalVolume(intptr_t volume) QZR_X68SOUND_NOEXCEPT;
/* The procedure (void (*)(void), or 0 for none) called every tick from the rendering thread. */
QZR_X68SOUND_API int X68Sound_BetwInt(intptr_t tickProcedure) QZR_X68SOUND_NOEXCEPT;

/* Our own, for offline rendering. StartOffline takes Start's arguments but opens no device and
 * keeps no clock: time moves only as the caller pulls frames with Render, which writes `frames`
 * stereo 16-bit frames (left first) at `buffer`, running the ticks that fall inside, and returns
 * the number written (0 unless started offline). */
QZR_X68SOUND_API int X68Sound_StartOffline(intptr_t rate, intptr_t fm, intptr_t other,
                                           intptr_t tickPeriodMs, intptr_t bufferCount,
                                           intptr_t latencyMs,
                                           intptr_t reserved) QZR_X68SOUND_NOEXCEPT;
QZR_X68SOUND_API int X68Sound_Render(intptr_t buffer, intptr_t frames) QZR_X68SOUND_NOEXCEPT;

#ifdef __cplusplus
}
#endif
