#pragma once

// The player window on the Win32 API. No Windows header here: window and instance handles cross
// as void*, so including code keeps its names free of windows.h's macros.

#include <functional>
#include <string>

#include "qzr/frontend/player_api.h"

namespace qzr::frontend::win32 {

// The icon resource's group identifier in qzrgui.exe (qzrgui.rc).
inline constexpr int kIconGroupId = 300;
// The status line's control identifier, and the timer that refreshes it.
inline constexpr int kStatusId = 400;
inline constexpr unsigned kStatusTimerId = 1;

// The open-file dialog call: GetOpenFileNameA on an OPENFILENAMEA; nonzero when a file was
// chosen. Tests put in their own to see the description and answer it.
using OpenFileCall = int (*)(void* description);
int ShowOpenFileDialog(void* description);

// The open-file dialog: `filter` is pairs of a description and a pattern, all separated by "|"
// ("QZR Music Files|*.qzr"); null title, owner and folder leave the platform's defaults. The
// dialog is centred on the desktop when it first activates. Returns the full path chosen or the
// empty text, in a buffer of this thread's temporary string ring.
const char* AskOpenFileName(const char* title, const char* filter, void* owner,
                            const char* initialFolder, OpenFileCall call = &ShowOpenFileDialog);

// Everything the window reaches outside itself, so that tests can replace each part.
struct WindowSeams {
    PlayerApi player;
    // Asks the user for a song file; the empty text when the user cancels.
    std::function<std::string()> choosePath;
    // Tells the user, over the window, why nothing was played; returns once read.
    std::function<void(const std::string& text)> showMessage;
};

// The player library by name, the song file dialog and a warning box over the window.
WindowSeams MakeDefaultSeams();

// Registers the window class and builds the window: its font and grey background, centred in
// the work area and shown; then starts the player (44,100 Hz, 200 ms) and creates the three
// buttons and the status line, in that order. `instance` is the program's HINSTANCE. False, with
// nothing left behind, when the class or the window cannot be made. One window at a time.
bool StartPlayerWindow(void* instance, WindowSeams seams);

// The window StartPlayerWindow built (an HWND) until it is destroyed; null otherwise.
void* PlayerWindowHandle();

// Runs the message loop until the quit message and returns its value (0 after a close).
int RunMessageLoop();
// Handles the messages waiting now as the loop does; false once the quit message was taken.
bool HandlePendingMessages();

// The whole program: the default seams, the window, the loop; the exit status.
int RunPlayerProgram(void* instance);

}  // namespace qzr::frontend::win32
