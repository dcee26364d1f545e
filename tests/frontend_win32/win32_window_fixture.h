#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "qzr/frontend/win32_player_window.h"

namespace qzr::frontend::win32::test {

// What the window did through its seams, apart from the player calls the double records.
struct SeamLog {
    std::deque<std::string> answers;  // what the next dialogs return; cancel when empty
    int dialogsShown = 0;
    std::vector<std::string> messages;
};

// Seams that answer dialogs from the log's queue and collect the messages.
WindowSeams MakeTestSeams(SeamLog& log, PlayerApi player = BindPlayerByName());

// A text's bytes, for the windows' ANSI calls.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The window's place in its parent's client area (or on the screen for a top-level one).
RECT PlaceInParent(HWND window);
// The main window's children, first created first.
std::vector<HWND> Children(HWND parent);

// A started Win32 player window over the recording player library, loaded by name; closed and
// its messages drained after each test.
class Win32WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND OpenWindow(PlayerApi player = BindPlayerByName());
    HWND Control(int controlId) const;
    std::string StatusText() const;
    // Presses the button as a mouse click would, and handles what that posted.
    void Press(int controlId) const;
    // Sends the key to the focused control through the message loop: down, (character,) up.
    void Key(WORD virtualKey, bool shift = false) const;
    // Closes the window as its close box does and runs the loop to its end; the loop's value.
    int CloseAndRunLoop() const;

    SeamLog log_;
    HWND window_ = nullptr;
};

}  // namespace qzr::frontend::win32::test
