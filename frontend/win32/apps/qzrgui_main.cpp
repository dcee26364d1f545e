#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "qzr/frontend/win32_player_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    return qzr::frontend::win32::RunPlayerProgram(instance);
}
