#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "qzr/frontend/player_window.h"
#include "qzr/frontend/refresh_timer.h"

class QPushButton;

namespace qzr::frontend::test {

// A refresh timer that fires only when the test says so.
class ManualRefreshTimer final : public RefreshTimer {
public:
    void Start(std::function<void()> onTimeout) override;
    void Stop() override { running_ = false; }
    bool Running() const { return running_; }
    void Fire();

private:
    std::function<void()> onTimeout_;
    bool running_ = false;
};

// What the window did through its seams, apart from the player calls the double records.
struct SeamLog {
    std::deque<QString> answers;  // what the next dialogs return; cancel when empty
    int dialogsShown = 0;
    std::vector<QString> messages;
    ManualRefreshTimer* timer = nullptr;  // owned by the window
};

// Seams that answer dialogs from the log's queue, collect messages, and use a manual timer.
PlayerWindowSeams MakeTestSeams(SeamLog& log, PlayerApi player = BindPlayerByName());

// A started player window over the recording player library, loaded by name.
class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Builds the window and runs ShowAndStart; `player` defaults to the library by name.
    PlayerWindow& OpenWindow(PlayerApi player = BindPlayerByName());
    QPushButton* Button(int controlId) const;
    QString StatusText() const;
    void Press(int controlId) const;

    SeamLog log_;
    std::unique_ptr<PlayerWindow> window_;
};

}  // namespace qzr::frontend::test
