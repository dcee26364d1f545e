#include "player_window_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <utility>

#include "recorded_player.h"

namespace qzr::frontend::test {

void ManualRefreshTimer::Start(std::function<void()> onTimeout) {
    onTimeout_ = std::move(onTimeout);
    running_ = true;
}

void ManualRefreshTimer::Fire() {
    if (running_ && onTimeout_) onTimeout_();
}

PlayerWindowSeams MakeTestSeams(SeamLog& log, PlayerApi player) {
    auto timer = std::make_unique<ManualRefreshTimer>();
    log.timer = timer.get();
    return PlayerWindowSeams{
        .player = std::move(player),
        .choosePath =
            [&log] {
                ++log.dialogsShown;
                if (log.answers.empty()) return QString();
                QString next = log.answers.front();
                log.answers.pop_front();
                return next;
            },
        .showMessage = [&log](QWidget*, const QString& text) { log.messages.push_back(text); },
        .refreshTimer = std::move(timer),
    };
}

void PlayerWindowTest::SetUp() {
    ASSERT_TRUE(ClearRecordedCalls()) << "the recording player library is not found by name";
}

PlayerWindow& PlayerWindowTest::OpenWindow(PlayerApi player) {
    window_ = std::make_unique<PlayerWindow>(MakeTestSeams(log_, std::move(player)));
    window_->ShowAndStart();
    return *window_;
}

QPushButton* PlayerWindowTest::Button(int controlId) const {
    for (auto* button : window_->findChildren<QPushButton*>()) {
        if (button->property("controlId").toInt() == controlId) return button;
    }
    return nullptr;
}

QString PlayerWindowTest::StatusText() const {
    const auto* status = window_->findChild<QLabel*>();
    return status != nullptr ? status->text() : QString();
}

void PlayerWindowTest::Press(int controlId) const {
    QPushButton* button = Button(controlId);
    ASSERT_NE(button, nullptr) << controlId;
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace qzr::frontend::test
