// The Win32 player window, driven through messages: its texts, identifiers and places, its calls
// into the player library (recorded by the double it loads by name), the status line, refused
// paths and the keyboard.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "qzr/frontend/window_model.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "recorded_player.h"
#include "win32_window_fixture.h"

namespace qzr::frontend::win32::test {
namespace {

using Calls = std::vector<std::string>;
using frontend::test::ClearRecordedCalls;
using frontend::test::RecordedCalls;
using frontend::test::SetRecordedSongPosition;
const std::string kInit = "InitOPM 44100 200";

std::string MakeSong(const qzr::test::TempDir& dir, const std::string& name) {
    const auto path = dir / name;
    qzr::test::WriteText(path, "not really a song");
    return path.string();
}

struct ControlLook {
    std::string className;
    std::string text;
    int id;
    RECT place;
    LONG style;
    LONG extendedStyle;
    bool sharesTheFont;
};

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
bool operator==(const ControlLook& a, const ControlLook& b) {
    return a.className == b.className && a.text == b.text && a.id == b.id && a.place == b.place &&
           a.style == b.style && a.extendedStyle == b.extendedStyle &&
           a.sharesTheFont == b.sharesTheFont;
}
void PrintTo(const ControlLook& look, std::ostream* out) {
    const RECT& r = look.place;
    *out << look.className << " \"" << look.text << "\" " << look.id << " (" << r.left << ", "
         << r.top << ")-(" << r.right << ", " << r.bottom << ") style " << std::hex << look.style
         << " ex " << look.extendedStyle << std::dec << (look.sharesTheFont ? " font" : "");
}

HGDIOBJ DefaultGuiFont() { return GetStockObject(DEFAULT_GUI_FONT); }

bool HasDefaultFont(HWND window) {
    return reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)) == DefaultGuiFont();
}

// The style bits the program chose; the button's push-button type is the dialog manager's.
LONG ChosenStyle(HWND window) {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    return ClassName(window) == "Button" ? style & ~LONG{BS_TYPEMASK} : style;
}

TEST_F(Win32WindowTest, StartsThePlayerOnceShownAndBeforeTheButtonsExist) {
    bool visibleAtStart = false;
    std::size_t childrenAtStart = 99;
    PlayerApi player = BindPlayerByName();
    player.initOPM = [&visibleAtStart, &childrenAtStart, init = player.initOPM](int rate,
                                                                                int latency) {
        const auto window = static_cast<HWND>(PlayerWindowHandle());
        visibleAtStart = IsWindowVisible(window) != 0;
        childrenAtStart = Children(window).size();
        return init(rate, latency);
    };
    OpenWindow(std::move(player));

    EXPECT_EQ(RecordedCalls(true), Calls{kInit});
    EXPECT_TRUE(visibleAtStart);
    EXPECT_EQ(childrenAtStart, 0u);
    EXPECT_EQ(Children(window_).size(), 4u);
    EXPECT_EQ(StatusText(), "Ready");
}

TEST_F(Win32WindowTest, ControlsHaveTheirTextsIdentifiersStylesAndPlacesInCreationOrder) {
    OpenWindow();
    std::vector<ControlLook> looks;
    for (const HWND child : Children(window_)) {
        looks.push_back({ClassName(child), WindowText(child), GetDlgCtrlID(child),
                         PlaceInParent(child), ChosenStyle(child),
                         GetWindowLongA(child, GWL_EXSTYLE), HasDefaultFont(child)});
    }
    // Layout units of two pixels: the rectangle MapDialogRect leaves as it is without a window.
    constexpr LONG kButton = 0x50012000;
    constexpr LONG kEdge = 0x20000;
    constexpr LONG kStatus = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    EXPECT_EQ(looks,
              (std::vector<ControlLook>{
                  {"Button", "Play Song(OPM)", 100, {40, 40, 140, 80}, kButton, kEdge, true},
                  {"Button", "Play Song(OPN2)", 200, {40, 100, 140, 140}, kButton, kEdge, true},
                  {"Button", "Stop", 300, {160, 40, 260, 80}, kButton, kEdge, true},
                  {"Static", "Ready", kStatusId, {40, 148, 260, 168}, kStatus, 0, true},
              }));
}

TEST_F(Win32WindowTest, WindowHasItsClassCaptionStyleSizeFontAndBackground) {
    OpenWindow();
    RECT frame{};
    GetWindowRect(window_, &frame);
    RECT client{};
    GetClientRect(window_, &client);
    const auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window_, GCLP_HBRBACKGROUND));
    LOGBRUSH fill{};
    ASSERT_EQ(GetObjectA(brush, sizeof fill, &fill), static_cast<int>(sizeof fill));

    EXPECT_EQ(ClassName(window_), "QZRPlayer");
    EXPECT_EQ(WindowText(window_), "QZRPlayer");
    EXPECT_EQ(GetWindowLongA(window_, GWL_STYLE) & ~LONG{WS_CLIPSIBLINGS},
              static_cast<LONG>(0x80CA0000u | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(window_, GWL_EXSTYLE) & ~LONG{WS_EX_WINDOWEDGE}, 0);
    EXPECT_EQ(GetClassLongA(window_, GCL_STYLE), 0x23u);
    EXPECT_EQ(frame.right - frame.left, 288);
    EXPECT_EQ(frame.bottom - frame.top, 204);
    // The status line, the lowest control, lies inside the client area.
    EXPECT_GE(client.right, 260);
    EXPECT_GE(client.bottom, 168);
    EXPECT_TRUE(HasDefaultFont(window_));
    EXPECT_EQ(fill.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(fill.lbColor, RGB(0xE4, 0xE4, 0xE4));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(window_, GCLP_HCURSOR)),
              LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
    EXPECT_NE(GetClassLongPtrA(window_, GCLP_HICON), 0);
}

TEST_F(Win32WindowTest, WindowIsCentredInTheWorkArea) {
    OpenWindow();
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    RECT frame{};
    GetWindowRect(window_, &frame);
    EXPECT_EQ(frame.left, work.left + (work.right - work.left - 288) / 2);
    EXPECT_EQ(frame.top, work.top + (work.bottom - work.top - 204) / 2);
}

TEST_F(Win32WindowTest, BackgroundIsGreyAroundAndBetweenTheButtonsAndBehindTheStatus) {
    OpenWindow();
    UpdateWindow(window_);
    for (const HWND child : Children(window_)) UpdateWindow(child);
    const HDC screen = GetDC(window_);
    ASSERT_NE(screen, nullptr);
    for (const POINT at : {POINT{5, 5}, POINT{150, 120}, POINT{275, 170}, POINT{255, 158}}) {
        SCOPED_TRACE(std::to_string(at.x) + "," + std::to_string(at.y));
        EXPECT_EQ(GetPixel(screen, at.x, at.y), RGB(0xE4, 0xE4, 0xE4));
    }
    ReleaseDC(window_, screen);
}

TEST_F(Win32WindowTest, EachPlayButtonHandsTheChosenPathToItsOwnEntry) {
    const qzr::test::TempDir dir;
    const std::string song = MakeSong(dir, "tune.qzr");
    struct Case {
        int button;
        WORD notification;  // what the button says besides its identifier: not looked at
        std::string call;
    };
    for (const auto& [button, notification, call] :
         {Case{kPlayOPMId, BN_CLICKED, "PlaySong "}, Case{kPlayOPN2Id, BN_CLICKED, "PlaySong2 "},
          Case{kPlayOPMId, BN_DOUBLECLICKED, "PlaySong "}}) {
        SCOPED_TRACE(call + std::to_string(notification));
        ASSERT_TRUE(ClearRecordedCalls());
        OpenWindow();
        log_.answers.push_back(song);
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(button, notification),
                     reinterpret_cast<LPARAM>(Control(button)));

        EXPECT_EQ(RecordedCalls(), (Calls{kInit, call + song}));
        EXPECT_EQ(log_.dialogsShown, 1);
        EXPECT_TRUE(log_.messages.empty());
        EXPECT_EQ(StatusText(), "Playing tune.qzr, row 0");
        EXPECT_EQ(CloseAndRunLoop(), 0);
        log_ = SeamLog{};
    }
}

TEST_F(Win32WindowTest, CancelledDialogCallsNothingAndStopAlwaysCallsStopSong) {
    OpenWindow();
    Press(kPlayOPMId);
    Press(kPlayOPN2Id);
    EXPECT_EQ(log_.dialogsShown, 2);
    EXPECT_EQ(RecordedCalls(true), Calls{kInit});
    EXPECT_EQ(StatusText(), "Ready");

    Press(kStopId);
    EXPECT_EQ(RecordedCalls(true), (Calls{kInit, "StopSong"}));
    EXPECT_EQ(StatusText(), "Stopped");
}

TEST_F(Win32WindowTest, PlayWhilePlayingStartsTheNewSongWithoutStoppingFirst) {
    const qzr::test::TempDir dir;
    const std::string first = MakeSong(dir, "first.qzr");
    const std::string second = MakeSong(dir, "second.qzr");
    OpenWindow();
    log_.answers = {first, second};
    Press(kPlayOPMId);
    Press(kPlayOPN2Id);

    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "PlaySong " + first, "PlaySong2 " + second}));
    EXPECT_EQ(StatusText(), "Playing second.qzr, row 0");
}

TEST_F(Win32WindowTest, StatusFollowsTheRowUntilStopped) {
    const qzr::test::TempDir dir;
    OpenWindow();
    log_.answers.push_back(MakeSong(dir, "loop.qzr"));
    Press(kPlayOPMId);
    SetRecordedSongPosition(37);
    SendMessageA(window_, WM_TIMER, kStatusTimerId, 0);
    EXPECT_EQ(StatusText(), "Playing loop.qzr, row 37");

    Press(kStopId);
    EXPECT_EQ(StatusText(), "Stopped");
    const auto queries = RecordedCalls(true).size() - RecordedCalls().size();
    SendMessageA(window_, WM_TIMER, kStatusTimerId, 0);
    EXPECT_EQ(RecordedCalls(true).size() - RecordedCalls().size(), queries);
    EXPECT_EQ(StatusText(), "Stopped");
}

TEST_F(Win32WindowTest, LongFileNameGivesWayInTheMiddleAndTheRowStaysInSight) {
    const qzr::test::TempDir dir;
    const std::string name = std::string(150, 'n') + ".qzr";
    OpenWindow();
    log_.answers.push_back(MakeSong(dir, name));
    Press(kPlayOPMId);
    SetRecordedSongPosition(65535);
    SendMessageA(window_, WM_TIMER, kStatusTimerId, 0);

    const std::string shown = StatusText();
    EXPECT_EQ(shown.rfind("Playing n", 0), 0u) << shown;
    EXPECT_NE(shown.find("n...n"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("n.qzr, row 65535")) << shown;
    const HWND status = Control(kStatusId);
    RECT room{};
    GetClientRect(status, &room);
    const HDC context = GetDC(status);
    const HGDIOBJ before = SelectObject(context, DefaultGuiFont());
    SIZE size{};
    GetTextExtentPoint32A(context, shown.data(), static_cast<int>(shown.size()), &size);
    SelectObject(context, before);
    ReleaseDC(status, context);
    EXPECT_LE(size.cx, room.right);
}

TEST_F(Win32WindowTest, UnreadableOrTooLongChoicesAreRefusedWithAMessageAndNotPlayed) {
    const qzr::test::TempDir dir;
    const std::string missing = (dir / "missing.qzr").string();
    const std::string folder = dir.Path().string();
    const std::string tooLong = folder + "\\" + std::string(2048 - folder.size() - 1, 's');
    ASSERT_EQ(tooLong.size(), 2048u);
    struct Case {
        std::string chosen;
        std::string message;
    };
    for (const auto& [chosen, message] : {
             Case{missing, "Can't open file " + missing},
             Case{folder, "Can't open file " + folder},
             Case{tooLong, "The path is too long to play: " + tooLong.substr(0, 80) + "..."},
         }) {
        SCOPED_TRACE(chosen.substr(0, 100));
        ASSERT_TRUE(ClearRecordedCalls());
        OpenWindow();
        log_.answers.push_back(chosen);
        Press(kPlayOPN2Id);

        EXPECT_EQ(RecordedCalls(true), Calls{kInit});
        EXPECT_EQ(log_.messages, std::vector<std::string>{message});
        EXPECT_EQ(StatusText(), "Ready");
        EXPECT_EQ(CloseAndRunLoop(), 0);
        log_ = SeamLog{};
    }
}

TEST_F(Win32WindowTest, AFailureInsideAButtonStaysInsideTheWindow) {
    WindowSeams seams = MakeTestSeams(log_);
    seams.choosePath = []() -> std::string { throw std::runtime_error("no dialog today"); };
    ASSERT_TRUE(StartPlayerWindow(GetModuleHandleA(nullptr), std::move(seams)));
    window_ = static_cast<HWND>(PlayerWindowHandle());
    Press(kPlayOPMId);
    Press(kStopId);

    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "StopSong"}));
}

TEST_F(Win32WindowTest, ClosingReleasesThePlayerOnceAndEndsTheLoopWithZero) {
    const qzr::test::TempDir dir;
    const std::string song = MakeSong(dir, "last.qzr");
    OpenWindow();
    log_.answers.push_back(song);
    Press(kPlayOPMId);

    EXPECT_EQ(CloseAndRunLoop(), 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(PlayerWindowHandle(), nullptr);
    // Release alone ends playback: no StopSong on the way out.
    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "PlaySong " + song, "ReleaseOPM"}));
}

TEST_F(Win32WindowTest, WithoutThePlayerLibraryTheWindowStillWorks) {
    const qzr::test::TempDir dir;
    OpenWindow(BindPlayerByName("qzrplay_absent.dll"));
    log_.answers.push_back(MakeSong(dir, "silent.qzr"));
    Press(kPlayOPMId);
    Press(kStopId);

    EXPECT_EQ(log_.dialogsShown, 1);
    EXPECT_TRUE(log_.messages.empty());
    EXPECT_EQ(CloseAndRunLoop(), 0);
    EXPECT_EQ(RecordedCalls(true), Calls{});
}

int FocusedId() { return GetFocus() != nullptr ? GetDlgCtrlID(GetFocus()) : -1; }

TEST_F(Win32WindowTest, TabAndShiftTabMoveBetweenTheButtonsInOrder) {
    OpenWindow();
    SetActiveWindow(window_);
    ASSERT_EQ(GetActiveWindow(), window_);

    std::vector<int> visited{FocusedId()};
    for (const bool shift : {false, false, false, true, true}) {
        Key(VK_TAB, shift);
        visited.push_back(FocusedId());
    }
    EXPECT_EQ(visited, (std::vector<int>{100, 200, 300, 100, 300, 200}));
}

TEST_F(Win32WindowTest, EnterAndSpacePressTheFocusedButtonEscapeAndLettersPressNothing) {
    OpenWindow();
    SetActiveWindow(window_);
    ASSERT_EQ(GetActiveWindow(), window_);
    struct Case {
        WORD key;
        int focused;       // the button the key goes to
        int dialogsShown;  // after the key
        Calls calls;       // after the key
    };
    const Case cases[] = {
        {VK_RETURN, 100, 1, {kInit}},  // the dialog, cancelled
        {VK_SPACE, 100, 2, {kInit}},
        {VK_RETURN, 300, 2, {kInit, "StopSong"}},
        {VK_SPACE, 300, 2, {kInit, "StopSong", "StopSong"}},
        // Esc closes nothing, and the captions carry no mnemonics: letters press nothing.
        {VK_ESCAPE, 300, 2, {kInit, "StopSong", "StopSong"}},
        {'S', 300, 2, {kInit, "StopSong", "StopSong"}},
        {'P', 100, 2, {kInit, "StopSong", "StopSong"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.key) + " on " + std::to_string(c.focused));
        SetFocus(Control(c.focused));
        Key(c.key);
        EXPECT_EQ(log_.dialogsShown, c.dialogsShown);
        EXPECT_EQ(RecordedCalls(), c.calls);
        EXPECT_TRUE(IsWindow(window_));
    }
}

// The icon resource qzrgui.exe carries: group 300, one 32 x 32 image with 256 colours.
TEST(Win32WindowIcon, TheProgramCarriesOneIconOf32By32With256Colours) {
    const std::string program = std::string(QZR_BIN_DIR) + "/qzrgui.exe";
    const HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << program;
    const HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(kIconGroupId), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_EQ(SizeofResource(module, group), 6u + 14u);
    // Directory: reserved, type 1, one image; entry: width, height, colours (0: 256), reserved,
    // planes, bits a pixel.
    const std::vector<int> read{bytes[0] | bytes[1] << 8,
                                bytes[2] | bytes[3] << 8,
                                bytes[4] | bytes[5] << 8,
                                bytes[6],
                                bytes[7],
                                bytes[8],
                                bytes[9],
                                bytes[10] | bytes[11] << 8,
                                bytes[12] | bytes[13] << 8};
    EXPECT_EQ(read, (std::vector<int>{0, 1, 1, 32, 32, 0, 0, 1, 8}));
    FreeLibrary(module);
}

}  // namespace
}  // namespace qzr::frontend::win32::test
