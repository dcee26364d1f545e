#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

// The loader's entry point does nothing for any reason: the player's state is static storage
// and its clean-up runs through ReleaseOPM, never under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
