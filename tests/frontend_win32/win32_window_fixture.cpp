#include "win32_window_fixture.h"

#include <array>
#include <utility>

#include "recorded_player.h"

namespace qzr::frontend::win32::test {

WindowSeams MakeTestSeams(SeamLog& log, PlayerApi player) {
    return WindowSeams{
        .player = std::move(player),
        .choosePath =
            [&log] {
                ++log.dialogsShown;
                if (log.answers.empty()) return std::string();
                std::string next = log.answers.front();
                log.answers.pop_front();
                return next;
            },
        .showMessage = [&log](const std::string& text) { log.messages.push_back(text); },
    };
}

std::string WindowText(HWND window) {
    std::array<char, 4096> text{};
    const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string ClassName(HWND window) {
    std::array<char, 256> name{};
    const int length = GetClassNameA(window, name.data(), static_cast<int>(name.size()));
    return std::string(name.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

RECT PlaceInParent(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    if (const HWND parent = GetParent(window)) {
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    }
    return place;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

void Win32WindowTest::SetUp() {
    ASSERT_TRUE(frontend::test::ClearRecordedCalls())
        << "the recording player library is not found by name";
}

void Win32WindowTest::TearDown() {
    if (PlayerWindowHandle() != nullptr) CloseAndRunLoop();
    // Whatever else the test left in the queue goes with it.
    HandlePendingMessages();
}

HWND Win32WindowTest::OpenWindow(PlayerApi player) {
    EXPECT_TRUE(
        StartPlayerWindow(GetModuleHandleA(nullptr), MakeTestSeams(log_, std::move(player))));
    window_ = static_cast<HWND>(PlayerWindowHandle());
    HandlePendingMessages();
    return window_;
}

HWND Win32WindowTest::Control(int controlId) const { return GetDlgItem(window_, controlId); }

std::string Win32WindowTest::StatusText() const { return WindowText(Control(kStatusId)); }

void Win32WindowTest::Press(int controlId) const {
    const HWND button = Control(controlId);
    ASSERT_NE(button, nullptr) << controlId;
    SendMessageA(button, BM_CLICK, 0, 0);
    HandlePendingMessages();
}

void Win32WindowTest::Key(WORD virtualKey, bool shift) const {
    // The dialog manager reads Shift from the thread's key state, which posted keys leave alone.
    std::array<BYTE, 256> keys{};
    GetKeyboardState(keys.data());
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys.data());
    const HWND focus = GetFocus();
    const auto scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(focus, WM_KEYDOWN, virtualKey, scan | 1);
    HandlePendingMessages();
    PostMessageA(focus, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
    HandlePendingMessages();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys.data());
}

int Win32WindowTest::CloseAndRunLoop() const {
    PostMessageA(static_cast<HWND>(PlayerWindowHandle()), WM_CLOSE, 0, 0);
    return RunMessageLoop();
}

}  // namespace qzr::frontend::win32::test
