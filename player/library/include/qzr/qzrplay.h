/* qzrplay: plays one song file at a time on the YM2151 emulator library, which it loads by name.
 * Every entry takes machine words and returns int, so a host may call it by name through a
 * pointer of that type. Call InitOPM first and ReleaseOPM last, all from one thread;
 * GetSongPosition may be called from any thread. */
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define QZR_API __declspec(dllexport)
#else
#define QZR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define QZR_NOEXCEPT noexcept
extern "C" {
#else
#define QZR_NOEXCEPT
#endif

/* Starts the emulator (sample rate in Hz, output latency in ms; a host passes 44100 and 200).
 * Returns the emulator's start result, 0 when the emulator library cannot be reached. */
QZR_API int InitOPM(intptr_t sampleRate, intptr_t latency) QZR_NOEXCEPT;

/* Frees the emulator. */
QZR_API int ReleaseOPM(void) QZR_NOEXCEPT;

/* Play the song file at `path` (a pointer to a zero-terminated path, passed as a word), for the
 * OPM (PlaySong) or as an OPN2 song on the same chip (PlaySong2). Replaces any song playing.
 * A file that cannot be opened prints "Can't open file PATH" on stderr, returns 0 and leaves
 * everything as it was. */
QZR_API int PlaySong(intptr_t path) QZR_NOEXCEPT;
QZR_API int PlaySong2(intptr_t path) QZR_NOEXCEPT;

/* Keys every channel off and resets the chip; the song stays loaded but silent. */
QZR_API int StopSong(void) QZR_NOEXCEPT;

/* Index of the next row to play (0 to 65535); 0 before any song and after StopSong. */
QZR_API int GetSongPosition(void) QZR_NOEXCEPT;

#ifdef __cplusplus
}
#endif
