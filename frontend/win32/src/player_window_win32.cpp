#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: the common controls' header needs its types.
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "qzr/frontend/win32_player_window.h"
#include "qzr/frontend/window_model.h"

namespace qzr::frontend::win32 {
namespace {

constexpr DWORD kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_MULTILINE;
constexpr DWORD kStatusStyle = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
static_assert(kClassStyle == 0x23 && kWindowStyle == 0x80CA0000 && kButtonStyle == 0x50012000);
constexpr DWORD kCommonControls = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                  ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                  ICC_DATE_CLASSES | ICC_USEREX_CLASSES;
static_assert(kCommonControls == 0x33F);
// The window's whole size, frame and caption included, in layout units: the client area's 140
// by 90 and room for the frame.
constexpr int kWindowWidthUnits = 140 + 4;
constexpr int kWindowHeightUnits = 90 + 12;

// Everything the program keeps, in static storage, for its one window.
struct ProgramState {
    std::array<char, 2048> className{};
    int unitX = 0;  // pixels per horizontal layout unit
    int unitY = 0;  // pixels per vertical layout unit
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    // The player reads the path from here only during the play call.
    std::array<char, kPathBufferSize> pathBuffer{};
    HWND status = nullptr;
    HFONT font = nullptr;  // the main window's, as WM_SETFONT gave it
    WindowSeams seams;
    std::string playingName;
    bool released = false;
};

ProgramState& State() {
    static ProgramState state;
    return state;
}

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

void SetDefaultFont(HWND window) {
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
}

// How many of the first bytes of `text`, at most `limit`, end on a character boundary of the
// system's code page (which may spend two bytes on a character).
std::size_t CharacterBoundary(std::string_view text, std::size_t limit) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t step =
            IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (at + step > limit) break;
        at += step;
    }
    return at;
}

// A file the player could open: it exists, is no folder and opens for reading.
bool OpensForReading(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool folder = GetFileInformationByHandle(file, &information) == 0 ||
                        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(file);
    return !folder;
}

// Why a chosen path is not handed to the player; empty when it may be.
std::string RefusalFor(const std::string& path) {
    if (path.size() > kMaxPathBytes) {
        return TooLongPathMessage(
            std::string_view(path).substr(0, CharacterBoundary(path, kShownPrefixBytes)));
    }
    if (!OpensForReading(path)) return CannotOpenMessage(path);
    return {};
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int TextWidth(HDC context, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(context, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// head + tail, or, when that is wider than the status line, head shortened in the middle (as
// many of its bytes kept as fit, half from each end) and tail whole.
std::string FittedStatus(const std::string& head, const std::string& tail) {
    const HWND status = State().status;
    RECT room{};
    GetClientRect(status, &room);
    const HDC context = GetDC(status);
    if (context == nullptr) return head + tail;
    const HGDIOBJ before = SelectObject(context, DefaultFont());
    const auto shortened = [&head](std::size_t kept) {
        const std::size_t front = CharacterBoundary(head, (kept + 1) / 2);
        std::size_t back = head.size() - (kept - std::min(kept, front));
        while (back < head.size() && CharacterBoundary(head, back) != back) ++back;
        return head.substr(0, front) + "..." + head.substr(back);
    };
    std::string shown = head + tail;
    if (TextWidth(context, shown) > room.right) {
        std::size_t low = 0;  // the most bytes of head known to fit
        std::size_t high = head.size();
        while (low < high) {
            const std::size_t mid = (low + high + 1) / 2;
            if (TextWidth(context, shortened(mid) + tail) <= room.right) {
                low = mid;
            } else {
                high = mid - 1;
            }
        }
        shown = shortened(low) + tail;
    }
    SelectObject(context, before);
    ReleaseDC(status, context);
    return shown;
}

void SetStatus(const std::string& head, const std::string& tail = {}) {
    ProgramState& state = State();
    if (state.status == nullptr) return;
    SetWindowTextA(state.status, FittedStatus(head, tail).c_str());
}

void RefreshStatus() {
    ProgramState& state = State();
    if (state.playingName.empty()) return;
    const int row = state.seams.player.getSongPosition();
    SetStatus(PlayingStatusHead(state.playingName), PlayingStatusTail(row));
}

void PlayChosenSong(int controlId) {
    ProgramState& state = State();
    const std::string chosen = state.seams.choosePath();
    if (chosen.empty()) return;
    if (const std::string refusal = RefusalFor(chosen); !refusal.empty()) {
        state.seams.showMessage(refusal);
        return;
    }
    state.pathBuffer.fill('\0');
    std::copy(chosen.begin(), chosen.end(), state.pathBuffer.begin());
    // A play button starts the new song at once; the player needs no StopSong in between.
    if (controlId == kPlayOPMId) {
        state.seams.player.playSong(state.pathBuffer.data());
    } else {
        state.seams.player.playSong2(state.pathBuffer.data());
    }
    state.playingName = FileNameOf(chosen);
    RefreshStatus();
    SetTimer(state.mainWindow, kStatusTimerId, kStatusRefreshMs, nullptr);
}

void StopSong() {
    ProgramState& state = State();
    state.seams.player.stopSong();
    KillTimer(state.mainWindow, kStatusTimerId);
    state.playingName.clear();
    SetStatus(kStoppedStatus);
}

// The button with the keyboard focus: Enter presses it, as Space does.
LRESULT FocusedButtonAsDefault(HWND window) {
    const HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != window) return 0;
    const int id = GetDlgCtrlID(focus);
    const bool button = std::any_of(kButtons.begin(), kButtons.end(),
                                    [id](const ButtonSpec& spec) { return spec.controlId == id; });
    return button ? MAKELRESULT(id, DC_HASDEFID) : 0;
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgramState& state = State();
    switch (message) {
        case WM_CLOSE:
            // Ending playback is the player's job on release; closing never calls StopSong.
            if (!state.released) {
                state.released = true;
                KillTimer(window, kStatusTimerId);
                state.seams.player.releaseOPM();
            }
            DestroyWindow(window);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kPlayOPMId:
                case kPlayOPN2Id:
                    PlayChosenSong(LOWORD(wParam));
                    break;
                case kStopId:
                    StopSong();
                    break;
                default:
                    break;
            }
            break;
        case WM_SETFONT:
            state.font = reinterpret_cast<HFONT>(wParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(state.font);
        case DM_GETDEFID:
            return FocusedButtonAsDefault(window);
        case WM_TIMER:
            if (wParam == kStatusTimerId) RefreshStatus();
            return 0;
        case WM_CTLCOLORSTATIC: {
            // The status line on the window's own grey.
            const auto context = reinterpret_cast<HDC>(wParam);
            SetBkColor(context, RGB((kBackgroundRgb >> 16) & 0xFF, (kBackgroundRgb >> 8) & 0xFF,
                                    kBackgroundRgb & 0xFF));
            return static_cast<LRESULT>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
        }
        case WM_DESTROY:
            UnregisterClassA(state.className.data(), state.instance);
            state.mainWindow = nullptr;
            state.status = nullptr;
            PostQuitMessage(0);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// No exception leaves the window procedure: one that would is dropped, and the message gets
// the default handling.
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterWindowClass() {
    ProgramState& state = State();
    WNDCLASSA windowClass{};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = &WindowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = state.instance;
    windowClass.hIcon = LoadIconA(state.instance, MAKEINTRESOURCEA(kIconGroupId));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = state.className.data();
    if (RegisterClassA(&windowClass) != 0) return true;
    // The class of an earlier window of this process, which could not be unregistered while
    // that window still existed, goes first.
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    UnregisterClassA(state.className.data(), state.instance);
    return RegisterClassA(&windowClass) != 0;
}

void PaintBackgroundGrey(HWND window) {
    const HBRUSH grey = CreateSolidBrush(
        RGB((kBackgroundRgb >> 16) & 0xFF, (kBackgroundRgb >> 8) & 0xFF, kBackgroundRgb & 0xFF));
    const auto replaced = static_cast<HGDIOBJ>(reinterpret_cast<HBRUSH>(
        SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(grey))));
    DeleteObject(replaced);
    InvalidateRect(window, nullptr, TRUE);
}

void CentreInWorkArea(HWND window) {
    RECT work{};
    RECT own{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window, &own);
    const Point corner =
        CentredTopLeft(work.left, work.top, work.right - work.left, work.bottom - work.top,
                       own.right - own.left, own.bottom - own.top);
    SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE);
}

HWND CreateChild(DWORD extendedStyle, const char* className, const char* text, DWORD style,
                 const ControlPlace& place, int id) {
    const ProgramState& state = State();
    const HWND child = CreateWindowExA(
        extendedStyle, className, text, style, place.x * state.unitX, place.y * state.unitY,
        place.width * state.unitX, place.height * state.unitY, state.mainWindow,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
    if (child != nullptr) SetDefaultFont(child);
    return child;
}

void CreateControls() {
    for (const ButtonSpec& spec : kButtons) {
        CreateChild(WS_EX_STATICEDGE, "button", spec.text, kButtonStyle, spec.place,
                    spec.controlId);
    }
    ProgramState& state = State();
    state.status = CreateChild(0, "static", kReadyStatus, kStatusStyle, kStatusPlace, kStatusId);
    SetFocus(GetDlgItem(state.mainWindow, kButtons.front().controlId));
}

}  // namespace

WindowSeams MakeDefaultSeams() {
    return WindowSeams{
        .player = BindPlayerByName(),
        .choosePath =
            [] {
                const std::string filter =
                    std::string(kSongFilesDescription) + "|" + kSongFilesPattern;
                return std::string(AskOpenFileName(nullptr, filter.c_str(), nullptr, nullptr));
            },
        .showMessage =
            [](const std::string& text) {
                MessageBoxA(State().mainWindow, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
            },
    };
}

bool StartPlayerWindow(void* instance, WindowSeams seams) {
    ProgramState& state = State();
    if (state.mainWindow != nullptr) return false;
    state.seams = std::move(seams);
    state.playingName.clear();
    state.pathBuffer.fill('\0');
    state.released = false;
    state.font = nullptr;

    state.className.fill('\0');
    std::memcpy(state.className.data(), kCaption, sizeof kCaption);
    // Without a window the rectangle comes back as it went in: units of two pixels.
    RECT units{0, 0, 4, 8};
    MapDialogRect(nullptr, &units);
    state.unitX = units.right / 2;
    state.unitY = units.bottom / 4;
    state.instance = static_cast<HINSTANCE>(instance);
    if (!RegisterWindowClass()) return false;

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), kCommonControls};
    InitCommonControlsEx(&controls);

    state.mainWindow = CreateWindowExA(
        0, state.className.data(), kCaption, kWindowStyle, 0, 0, kWindowWidthUnits * state.unitX,
        kWindowHeightUnits * state.unitY, nullptr, nullptr, state.instance, nullptr);
    if (state.mainWindow == nullptr) {
        UnregisterClassA(state.className.data(), state.instance);
        return false;
    }
    SetDefaultFont(state.mainWindow);
    PaintBackgroundGrey(state.mainWindow);
    CentreInWorkArea(state.mainWindow);
    RedrawWindow(state.mainWindow, nullptr, nullptr, 0);
    ShowWindow(state.mainWindow, SW_SHOW);
    // The player starts while the window is on screen but before any button can be pressed.
    state.seams.player.initOPM(kSampleRate, kOutputLatencyMs);
    CreateControls();
    return true;
}

void* PlayerWindowHandle() { return State().mainWindow; }

namespace {

// One message as the loop handles it: keyboard navigation first, where the active window
// takes it.
void Handle(MSG& message) {
    const HWND active = GetActiveWindow();
    if (IsWindow(active) && IsDialogMessageA(active, &message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

}  // namespace

int RunMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) break;
        if (got == -1) return 1;
        Handle(message);
    }
    return static_cast<int>(message.wParam);
}

bool HandlePendingMessages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        Handle(message);
    }
    return true;
}

int RunPlayerProgram(void* instance) {
    if (!StartPlayerWindow(instance, MakeDefaultSeams())) return 1;
    return RunMessageLoop();
}

}  // namespace qzr::frontend::win32
