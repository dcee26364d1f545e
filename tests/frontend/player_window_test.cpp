// The player window's calls into the player library, recorded by the double that the window
// loads by name, and what the user sees of them.
#include "qzr/frontend/player_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <string>
#include <vector>

#include "player_window_fixture.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "recorded_player.h"

namespace qzr::frontend::test {
namespace {

using Calls = std::vector<std::string>;
constexpr int kOPM = PlayerWindow::kPlayOPMId;
constexpr int kOPN2 = PlayerWindow::kPlayOPN2Id;
constexpr int kStop = PlayerWindow::kStopId;
const std::string kInit = "InitOPM 44100 200";

// A readable stand-in song; the window only checks that it opens.
std::string MakeSong(const qzr::test::TempDir& dir, const std::string& name) {
    const auto path = dir / name;
    qzr::test::WriteText(path, "not really a song");
    return path.string();
}

// A readable file whose path is exactly `length` bytes, in folders of 200-byte names.
std::string MakeSongWithPathLength(const qzr::test::TempDir& dir, std::size_t length) {
    std::string path = dir.Path().string();
    while (length - path.size() > 256) {
        path += "/" + std::string(200, 'd');
        std::filesystem::create_directory(path);
    }
    path += "/" + std::string(length - path.size() - 1, 's');
    qzr::test::WriteText(path, "song");
    return path;
}

TEST_F(PlayerWindowTest, StartsThePlayerOnceShownAndBeforeTheButtonsExist) {
    bool visibleAtStart = false;
    qsizetype buttonsAtStart = -1;
    PlayerApi player = BindPlayerByName();
    player.initOPM = [this, &visibleAtStart, &buttonsAtStart, init = player.initOPM](int rate,
                                                                                     int latency) {
        visibleAtStart = window_->isVisible();
        buttonsAtStart = window_->findChildren<QPushButton*>().size();
        return init(rate, latency);
    };
    OpenWindow(std::move(player));

    EXPECT_EQ(RecordedCalls(true), Calls{kInit});
    EXPECT_TRUE(visibleAtStart);
    EXPECT_EQ(buttonsAtStart, 0);
    EXPECT_EQ(window_->findChildren<QPushButton*>().size(), 3);
    EXPECT_EQ(StatusText(), "Ready");
}

TEST_F(PlayerWindowTest, EachPlayButtonHandsTheChosenPathToItsOwnEntry) {
    const qzr::test::TempDir dir;
    const std::string song = MakeSong(dir, "tune.qzr");
    struct Case {
        int button;
        std::string call;
    };
    for (const auto& [button, call] : {Case{kOPM, "PlaySong "}, Case{kOPN2, "PlaySong2 "}}) {
        SCOPED_TRACE(call);
        ASSERT_TRUE(ClearRecordedCalls());
        OpenWindow();
        log_.answers.push_back(QString::fromStdString(song));
        Press(button);

        EXPECT_EQ(RecordedCalls(), (Calls{kInit, call + song}));
        EXPECT_EQ(log_.dialogsShown, 1);
        EXPECT_TRUE(log_.messages.empty());
        EXPECT_EQ(StatusText(), "Playing tune.qzr, row 0");
        EXPECT_TRUE(log_.timer->Running());
        log_ = SeamLog{};
    }
}

TEST_F(PlayerWindowTest, CancelledDialogCallsNothing) {
    OpenWindow();
    Press(kOPM);
    Press(kOPN2);

    EXPECT_EQ(log_.dialogsShown, 2);
    EXPECT_EQ(RecordedCalls(true), Calls{kInit});
    EXPECT_EQ(StatusText(), "Ready");
}

TEST_F(PlayerWindowTest, PlayWhilePlayingStartsTheNewSongWithoutStoppingFirst) {
    const qzr::test::TempDir dir;
    const std::string first = MakeSong(dir, "first.qzr");
    const std::string second = MakeSong(dir, "second.qzr");
    OpenWindow();
    log_.answers = {QString::fromStdString(first), QString::fromStdString(second)};
    Press(kOPM);
    Press(kOPN2);

    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "PlaySong " + first, "PlaySong2 " + second}));
    EXPECT_EQ(StatusText(), "Playing second.qzr, row 0");
}

TEST_F(PlayerWindowTest, StopWithNothingPlayingStillCallsStopSong) {
    OpenWindow();
    Press(kStop);

    EXPECT_EQ(RecordedCalls(true), (Calls{kInit, "StopSong"}));
    EXPECT_EQ(StatusText(), "Stopped");
}

TEST_F(PlayerWindowTest, StatusFollowsTheRowUntilStopped) {
    const qzr::test::TempDir dir;
    OpenWindow();
    log_.answers.push_back(QString::fromStdString(MakeSong(dir, "loop.qzr")));
    Press(kOPM);
    SetRecordedSongPosition(37);
    log_.timer->Fire();
    EXPECT_EQ(StatusText(), "Playing loop.qzr, row 37");

    Press(kStop);
    EXPECT_FALSE(log_.timer->Running());
    EXPECT_EQ(StatusText(), "Stopped");
    const auto positionQueries = RecordedCalls(true).size() - RecordedCalls().size();
    log_.timer->Fire();
    EXPECT_EQ(RecordedCalls(true).size() - RecordedCalls().size(), positionQueries);
}

TEST_F(PlayerWindowTest, LongFileNameGivesWayOnScreenButNotForScreenReaders) {
    const qzr::test::TempDir dir;
    const std::string name = std::string(150, 'n') + ".qzr";
    OpenWindow();
    log_.answers.push_back(QString::fromStdString(MakeSong(dir, name)));
    Press(kOPM);
    SetRecordedSongPosition(65535);
    log_.timer->Fire();

    const auto* status = window_->findChild<QLabel*>();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(StatusText().startsWith("Playing n")) << StatusText().toStdString();
    EXPECT_TRUE(StatusText().endsWith(".qzr, row 65535")) << StatusText().toStdString();
    EXPECT_LE(status->fontMetrics().horizontalAdvance(StatusText()), status->width());
    EXPECT_EQ(status->accessibleName().toStdString(), "Status: Playing " + name + ", row 65535");
}

TEST_F(PlayerWindowTest, PathThatFillsTheBufferIsPlayedAndOneByteMoreIsRefused) {
    const qzr::test::TempDir dir;
    const std::string longest = MakeSongWithPathLength(dir, 2047);
    const std::string tooLong = longest + "x";
    OpenWindow();
    log_.answers = {QString::fromStdString(longest), QString::fromStdString(tooLong)};
    Press(kOPM);
    Press(kOPN2);

    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "PlaySong " + longest}));
    ASSERT_EQ(log_.messages.size(), 1u);
    EXPECT_EQ(log_.messages[0].toStdString(),
              "The path is too long to play: " + tooLong.substr(0, 80) + "...");
}

TEST_F(PlayerWindowTest, UnreadableChoiceIsReportedAndNotPlayed) {
    const qzr::test::TempDir dir;
    const std::string missing = (dir / "missing.qzr").string();
    OpenWindow();
    log_.answers = {QString::fromStdString(missing), QString::fromStdString(dir.Path().string())};
    Press(kOPM);
    Press(kOPN2);

    EXPECT_EQ(RecordedCalls(true), Calls{kInit});
    EXPECT_EQ(log_.messages, (std::vector<QString>{
                                 QString::fromStdString("Can't open file " + missing),
                                 QString::fromStdString("Can't open file " + dir.Path().string()),
                             }));
    EXPECT_EQ(StatusText(), "Ready");
}

// Once RunPlayerWindow's event loop runs: presses the given buttons, then asks the window to
// close twice.
void PressThenCloseTwice(std::vector<int> controlIds) {
    QTimer::singleShot(0, [controlIds = std::move(controlIds)] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = dynamic_cast<PlayerWindow*>(widget)) {
                for (const int id : controlIds) window->OnCommand(id);
                window->close();
                QCloseEvent again;  // a late second request, as from a session manager
                QCoreApplication::sendEvent(window, &again);
            }
        }
    });
}

TEST_F(PlayerWindowTest, ClosingReleasesThePlayerOnceAndExitsWithZero) {
    const qzr::test::TempDir dir;
    const std::string song = MakeSong(dir, "last.qzr");
    log_.answers.push_back(QString::fromStdString(song));
    PressThenCloseTwice({kOPM});

    EXPECT_EQ(RunPlayerWindow(MakeTestSeams(log_)), 0);
    // Release alone ends playback: no StopSong on the way out.
    EXPECT_EQ(RecordedCalls(), (Calls{kInit, "PlaySong " + song, "ReleaseOPM"}));
}

TEST_F(PlayerWindowTest, WithoutThePlayerLibraryTheWindowStillWorks) {
    const qzr::test::TempDir dir;
    log_.answers.push_back(QString::fromStdString(MakeSong(dir, "silent.qzr")));
    PressThenCloseTwice({kOPM, kStop});

    EXPECT_EQ(RunPlayerWindow(MakeTestSeams(log_, BindPlayerByName("qzrplay_absent.dll"))), 0);
    EXPECT_EQ(log_.dialogsShown, 1);
    EXPECT_TRUE(log_.messages.empty());
    EXPECT_EQ(RecordedCalls(true), Calls{});
}

}  // namespace
}  // namespace qzr::frontend::test
