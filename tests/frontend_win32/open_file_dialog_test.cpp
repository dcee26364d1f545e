// The open-file dialog routine: the description it hands GetOpenFileNameA (seen through a
// stand-in for that call), its centring hook, and the real dialog answered by the test.
#include "win32_window_fixture.h"
// The fixture's windows.h first: the dialog's headers need its types.
#include <commdlg.h>
#include <dlgs.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "qzr/frontend/win32_player_window.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::frontend::win32::test {
namespace {

// What the stand-in saw of the description, and what it answers.
struct DialogCall {
    OPENFILENAMEA description{};
    std::string filters;  // the zero-separated list, up to and including its closing zeros
    bool fileNameStartsEmpty = false;
    std::string answer;  // written into the file-name buffer; empty: cancel
    int calls = 0;
};
DialogCall* theCall = nullptr;

int RecordingDialog(void* description) {
    auto& seen = *theCall;
    ++seen.calls;
    seen.description = *static_cast<OPENFILENAMEA*>(description);
    const char* list = seen.description.lpstrFilter;
    std::size_t end = 0;
    while (list[end] != '\0' || list[end + 1] != '\0') ++end;
    seen.filters.assign(list, end + 2);
    seen.fileNameStartsEmpty = seen.description.lpstrFile[0] == '\0';
    if (seen.answer.empty()) return 0;
    std::memcpy(seen.description.lpstrFile, seen.answer.c_str(), seen.answer.size() + 1);
    return 1;
}

TEST(AskOpenFileName, HandsTheDialogItsFixedDescriptionAndGivesBackTheChoice) {
    struct Case {
        std::string filter;
        std::string answer;
        std::string filters;  // as the dialog gets them
    };
    using namespace std::string_literals;
    for (const auto& [filter, answer, filters] : {
             Case{"QZR Music Files|*.qzr", "C:\\songs\\tune.qzr", "QZR Music Files\0*.qzr\0\0"s},
             Case{"QZR Music Files|*.qzr", "", "QZR Music Files\0*.qzr\0\0"s},
             Case{"Songs|*.qzr|All|*.*", "D:\\a b\\c.qzr", "Songs\0*.qzr\0All\0*.*\0\0"s},
             Case{"|x|*.x", "", "|x\0*.x\0\0"s},  // the first character is kept as it is
         }) {
        SCOPED_TRACE(filter + " -> " + answer);
        DialogCall call;
        call.answer = answer;
        theCall = &call;
        const std::string result =
            AskOpenFileName(nullptr, filter.c_str(), nullptr, nullptr, &RecordingDialog);
        theCall = nullptr;

        EXPECT_EQ(result, answer);
        ASSERT_EQ(call.calls, 1);
        const OPENFILENAMEA& d = call.description;
        EXPECT_EQ(d.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
#if !defined(_WIN64)
        EXPECT_EQ(d.lStructSize, 76u);
#endif
        EXPECT_EQ(call.filters, filters);
        EXPECT_EQ(d.Flags, 0x82004u);
        EXPECT_EQ(d.nMaxFile, 500000u);
        EXPECT_EQ(d.nMaxFileTitle, 255u);
        EXPECT_EQ(d.nFilterIndex, 0u);
        EXPECT_TRUE(call.fileNameStartsEmpty);
        EXPECT_NE(d.lpstrFileTitle, nullptr);
        const std::vector<const void*> unset{d.hwndOwner,
                                             d.hInstance,
                                             d.lpstrCustomFilter,
                                             d.lpstrInitialDir,
                                             d.lpstrTitle,
                                             d.lpstrDefExt,
                                             reinterpret_cast<const void*>(d.lpfnHook),
                                             d.lpTemplateName};
        EXPECT_EQ(unset, std::vector<const void*>(unset.size(), nullptr));
        EXPECT_EQ(d.lCustData, 0);
    }
}

// A stand-in dialog that opens two windows in turn, as a dialog and then a box over it would,
// and notes where each ended up.
std::vector<RECT> placesSeen;

RECT ShowAndPlace(int x, int y) {
    const HWND window = CreateWindowExA(0, "static", "dialog", WS_POPUP | WS_CAPTION, x, y, 300,
                                        200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);  // activates it
    RECT place{};
    GetWindowRect(window, &place);
    DestroyWindow(window);
    return place;
}

int TwoWindowsDialog(void*) {
    placesSeen.push_back(ShowAndPlace(7, 9));
    placesSeen.push_back(ShowAndPlace(11, 13));
    return 0;
}

TEST(AskOpenFileName, CentresTheFirstActivatedWindowOnTheDesktopAndThenUnhooks) {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    placesSeen.clear();
    EXPECT_EQ(std::string(AskOpenFileName(nullptr, "A|*.a", nullptr, nullptr, &TwoWindowsDialog)),
              "");
    ASSERT_EQ(placesSeen.size(), 2u);
    const LONG left = (desktop.left + desktop.right - 300) / 2;
    const LONG top = (desktop.top + desktop.bottom - 200) / 2;
    EXPECT_EQ(placesSeen[0].left, left);
    EXPECT_EQ(placesSeen[0].top, top);
    // The hook is gone after the first activation: the second window stays where it was put.
    EXPECT_EQ(placesSeen[1].left, 11);
    EXPECT_EQ(placesSeen[1].top, 13);
    // And after the dialog: a window shown now is not moved either.
    const RECT after = ShowAndPlace(17, 19);
    EXPECT_EQ(after.left, 17);
    EXPECT_EQ(after.top, 19);
}

// The real dialog, answered from a timer of this thread while the dialog's own loop runs: the
// test finds it, notes its title and place, and fills in a name (or cancels).
struct RealDialogAnswer {
    std::string fileName;  // typed into the dialog; empty: cancel
    bool found = false;
    std::string title;
    RECT place{};
};
RealDialogAnswer* theAnswer = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    if (ClassName(window) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || theAnswer == nullptr) return;
    KillTimer(nullptr, timer);
    theAnswer->found = true;
    theAnswer->title = WindowText(dialog);
    GetWindowRect(dialog, &theAnswer->place);
    if (theAnswer->fileName.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // The file name box: an edit control inside the dialog's name combo box, or the edit itself.
    HWND name = GetDlgItem(dialog, cmb13);
    if (name == nullptr) name = GetDlgItem(dialog, edt1);
    SetWindowTextA(name, theAnswer->fileName.c_str());
    if (const HWND inner = FindWindowExA(name, nullptr, "Edit", nullptr)) {
        SetWindowTextA(inner, theAnswer->fileName.c_str());
    }
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST(AskOpenFileName, TheRealDialogIsCentredOnTheDesktopAndAnswersWithThePathOrNothing) {
    const qzr::test::TempDir dir;
    const std::string song = (dir / "real.qzr").string();
    qzr::test::WriteText(song, "rows");
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    struct Case {
        std::string typed;
        std::string expected;
    };
    for (const auto& [typed, expected] : {Case{"", ""}, Case{song, song}}) {
        SCOPED_TRACE(typed);
        RealDialogAnswer answer{.fileName = typed, .found = false, .title = {}, .place = {}};
        theAnswer = &answer;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerDialog);
        const std::string result =
            AskOpenFileName(nullptr, "QZR Music Files|*.qzr", nullptr, nullptr);
        KillTimer(nullptr, timer);
        theAnswer = nullptr;

        ASSERT_TRUE(answer.found);
        EXPECT_EQ(result, expected);
        EXPECT_FALSE(answer.title.empty());
        // Centred when it activated; the dialog then grows a little (Wine's lays out its parts
        // afterwards), keeping its corner, so its centre lies near the desktop's.
        EXPECT_NEAR(answer.place.left + answer.place.right, desktop.left + desktop.right, 32);
        EXPECT_NEAR(answer.place.top + answer.place.bottom, desktop.top + desktop.bottom, 32);
    }
}

}  // namespace
}  // namespace qzr::frontend::win32::test
