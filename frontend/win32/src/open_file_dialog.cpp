#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: the dialog's header needs its types.
#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "qzr/common/temp_string.h"
#include "qzr/frontend/win32_player_window.h"

namespace qzr::frontend::win32 {
namespace {

constexpr std::size_t kFileNameBytes = 500000;
constexpr std::size_t kSmallBufferBytes = 256;
constexpr DWORD kFileTitleBytes = 255;
constexpr DWORD kDialogFlags = OFN_EXPLORER | OFN_CREATEPROMPT | OFN_HIDEREADONLY;
static_assert(kDialogFlags == 0x82004);
// The description's short form, without the fields Windows 2000 added.
constexpr DWORD kShortDescriptionSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
#if !defined(_WIN64)
static_assert(kShortDescriptionSize == 76);
#endif

// The hook that centres the dialog, from its installation until the dialog first activates.
HHOOK dialogHook = nullptr;

void RemoveDialogHook() noexcept {
    if (dialogHook != nullptr) {
        UnhookWindowsHookEx(dialogHook);
        dialogHook = nullptr;
    }
}

// Centres the first window activated on this thread (the dialog) on the desktop, then removes
// itself. Passes no event on.
LRESULT CALLBACK CentreDialogHook(int code, WPARAM wParam, LPARAM /*lParam*/) noexcept {
    if (code != HCBT_ACTIVATE) return 0;
    const auto window = reinterpret_cast<HWND>(wParam);
    RECT desktop{};
    RECT own{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    const int x = (desktop.left + desktop.right - own.right + own.left) / 2;
    const int y = (desktop.top + desktop.bottom - own.bottom + own.top) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    RemoveDialogHook();
    return 0;
}

}  // namespace

int ShowOpenFileDialog(void* description) {
    return GetOpenFileNameA(static_cast<OPENFILENAMEA*>(description)) ? 1 : 0;
}

const char* AskOpenFileName(const char* title, const char* filter, void* owner,
                            const char* initialFolder, OpenFileCall call) {
    char* fileName = TempString(kFileNameBytes);
    char* result = TempString(kFileNameBytes);
    char* filters = TempString(kSmallBufferBytes);
    char* fileTitle = TempString(kSmallBufferBytes);

    // Pairs separated by "|" become the zero-separated list the dialog takes; the buffer's zero
    // rest ends the list. A longer filter than the buffer holds is cut.
    const std::size_t length = std::min(std::strlen(filter), kSmallBufferBytes);
    std::memcpy(filters, filter, length);
    for (std::size_t i = 1; i < length; ++i) {
        if (filters[i] == '|') filters[i] = '\0';
    }

    RemoveDialogHook();
    dialogHook = SetWindowsHookExA(WH_CBT, &CentreDialogHook, nullptr, GetCurrentThreadId());

    OPENFILENAMEA description{};
    description.lStructSize = kShortDescriptionSize;
    description.hwndOwner = static_cast<HWND>(owner);
    description.hInstance = nullptr;
    description.lpstrFilter = filters;
    description.lpstrCustomFilter = nullptr;
    description.nFilterIndex = 0;
    description.lpstrFile = fileName;
    description.nMaxFile = static_cast<DWORD>(kFileNameBytes);
    description.lpstrFileTitle = fileTitle;
    description.nMaxFileTitle = kFileTitleBytes;
    description.lpstrInitialDir = initialFolder;
    description.lpstrTitle = title;
    description.Flags = kDialogFlags;
    description.lpstrDefExt = nullptr;
    description.lCustData = 0;
    description.lpfnHook = nullptr;
    description.lpTemplateName = nullptr;

    const bool chosen = call(&description) != 0;
    // A dialog that failed before it was ever activated leaves no hook behind.
    RemoveDialogHook();
    if (chosen) std::memcpy(result, fileName, std::strlen(fileName));
    return result;
}

}  // namespace qzr::frontend::win32
