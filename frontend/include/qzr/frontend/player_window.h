#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "qzr/format/song_kind.h"
#include "qzr/frontend/player_api.h"
#include "qzr/frontend/refresh_timer.h"
#include "qzr/frontend/song_path.h"

class QCloseEvent;
class QLabel;

namespace qzr::frontend {

// Asks the user for a song file; the empty text when the user cancels.
using PathChooser = std::function<QString()>;
// Tells the user, over the window, why nothing was played; returns once the user has read it.
using MessageSink = std::function<void(QWidget* window, const QString& text)>;

// Everything the window reaches outside itself, so that each part can be replaced in tests.
struct PlayerWindowSeams {
    PlayerApi player;
    PathChooser choosePath;
    MessageSink showMessage;
    std::unique_ptr<RefreshTimer> refreshTimer;
};

// The player library by name, the song file dialog, warning boxes and a timer of ~10 Hz.
PlayerWindowSeams MakeDefaultSeams();

// The player window: buttons that play an OPM or an OPN2 song file and stop playback, and a
// status line. It holds no playback logic: it starts the player once it is shown, forwards each
// button to the player and releases the player exactly once when it closes. GUI thread only.
class PlayerWindow final : public QWidget {
public:
    // The identifiers the buttons carry in their "controlId" property.
    static constexpr int kPlayOPMId = frontend::kPlayOPMId;
    static constexpr int kPlayOPN2Id = frontend::kPlayOPN2Id;
    static constexpr int kStopId = frontend::kStopId;

    explicit PlayerWindow(PlayerWindowSeams seams, QWidget* parent = nullptr);

    // Centres and shows the window, starts the player (44,100 Hz, 200 ms output latency), then
    // builds the controls, in that order. Does nothing after the first call.
    void ShowAndStart();

    // What pressing the button with this identifier does; other identifiers do nothing.
    void OnCommand(int controlId);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void PlayChosenSong(SongKind kind);
    void StopSong();
    void RefreshStatus();
    // Shows head + tail on the status line; when that is too wide, head is shortened in the
    // middle and tail kept whole.
    void SetStatus(const QString& head, const QString& tail = {});

    PlayerWindowSeams seams_;
    // The player reads the path from here only during the play call.
    std::array<char, kPathBufferSize> pathBuffer_{};
    QLabel* status_ = nullptr;
    QString playingName_;
    bool started_ = false;
    bool released_ = false;
};

// Builds the window with these seams, shows it and runs the event loop until the window is
// closed; returns the program's exit status. Needs a QApplication.
int RunPlayerWindow(PlayerWindowSeams seams);

}  // namespace qzr::frontend
