// What the player window looks like and how it answers the keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "player_window_fixture.h"
#include "qzr/frontend/centring.h"
#include "recorded_player.h"

namespace qzr::frontend::test {
namespace {

struct ButtonLook {
    std::string text;
    int controlId;
    QRect geometry;
    bool operator==(const ButtonLook&) const = default;
};

void PrintTo(const ButtonLook& look, std::ostream* out) {
    const QRect& g = look.geometry;
    *out << '"' << look.text << "\" " << look.controlId << " at (" << g.x() << ", " << g.y() << ") "
         << g.width() << "x" << g.height();
}

int FocusedControlId() {
    const QWidget* focused = QApplication::focusWidget();
    return focused != nullptr ? focused->property("controlId").toInt() : -1;
}

TEST_F(PlayerWindowTest, ButtonsHaveTheirTextsIdentifiersAndPlacesInCreationOrder) {
    OpenWindow();
    std::vector<ButtonLook> looks;
    for (const auto* button : window_->findChildren<QPushButton*>()) {
        looks.push_back({button->text().toStdString(), button->property("controlId").toInt(),
                         button->geometry()});
    }
    EXPECT_EQ(looks, (std::vector<ButtonLook>{
                         {"Play Song(OPM)", 100, QRect(40, 40, 100, 40)},
                         {"Play Song(OPN2)", 200, QRect(40, 100, 100, 40)},
                         {"Stop", 300, QRect(160, 40, 100, 40)},
                     }));
}

TEST_F(PlayerWindowTest, WindowHasItsCaptionFixedClientAreaFontAndIcon) {
    OpenWindow();
    EXPECT_EQ(window_->windowTitle(), "QZRPlayer");
    EXPECT_EQ(window_->size(), QSize(280, 176));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_EQ(window_->font(), QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    EXPECT_TRUE(window_->windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_FALSE(window_->windowIcon().pixmap(32, 32).toImage().isNull());
}

TEST_F(PlayerWindowTest, BackgroundIsGreyAroundAndBetweenTheButtons) {
    OpenWindow();
    const QImage shot = window_->grab().toImage();
    const QRect status = window_->findChild<QLabel*>()->geometry();
    for (const QPoint at : {QPoint(5, 5), QPoint(150, 120), QPoint(275, 170),
                            QPoint(status.right() - 1, status.center().y())}) {
        SCOPED_TRACE(std::to_string(at.x()) + "," + std::to_string(at.y()));
        EXPECT_EQ(shot.pixelColor(at).rgb() & 0xFFFFFFu, 0xE4E4E4u);
    }
}

TEST_F(PlayerWindowTest, WindowIsCentredInTheAvailableScreenArea) {
    OpenWindow();
    const QRect available = window_->screen()->availableGeometry();
    const QRect frame = window_->frameGeometry();
    EXPECT_EQ(frame.topLeft(), CentredTopLeft(available, frame.size()));
}

TEST(CentredTopLeft, HalvesTruncateTowardZero) {
    struct Case {
        QRect area;
        QSize size;
        QPoint expected;
    };
    for (const auto& [area, size, expected] : {
             Case{QRect(0, 0, 1920, 1080), QSize(288, 204), QPoint(816, 438)},
             Case{QRect(0, 0, 1921, 1081), QSize(288, 204), QPoint(816, 438)},
             Case{QRect(100, 30, 800, 600), QSize(280, 176), QPoint(360, 242)},
             Case{QRect(0, 0, 200, 100), QSize(203, 105), QPoint(-1, -2)},
         }) {
        SCOPED_TRACE(std::to_string(area.width()) + "x" + std::to_string(area.height()));
        EXPECT_EQ(CentredTopLeft(area, size), expected);
    }
}

TEST_F(PlayerWindowTest, TabAndShiftTabMoveBetweenTheButtonsInOrder) {
    OpenWindow();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    std::vector<int> visited{FocusedControlId()};
    for (const auto modifier :
         {Qt::NoModifier, Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier, Qt::ShiftModifier}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifier);
        visited.push_back(FocusedControlId());
    }
    EXPECT_EQ(visited, (std::vector<int>{100, 200, 300, 100, 300, 200}));
}

TEST_F(PlayerWindowTest, SpaceAndEnterPressTheFocusedButton) {
    OpenWindow();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // 100: dialog, cancelled
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // 200: dialog, cancelled
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);  // 300, the keypad's Enter
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // 300 again

    EXPECT_EQ(log_.dialogsShown, 2);
    EXPECT_EQ(RecordedCalls(),
              (std::vector<std::string>{"InitOPM 44100 200", "StopSong", "StopSong"}));
}

TEST_F(PlayerWindowTest, EveryControlHasAnAccessibleNameAndDescription) {
    OpenWindow();
    std::vector<QWidget*> controls{window_.get()};
    for (QWidget* child : window_->findChildren<QWidget*>()) controls.push_back(child);
    ASSERT_EQ(controls.size(), 5u);
    for (const QWidget* control : controls) {
        SCOPED_TRACE(control->accessibleName().toStdString());
        EXPECT_FALSE(control->accessibleName().isEmpty());
        EXPECT_FALSE(control->accessibleDescription().isEmpty());
    }
}

}  // namespace
}  // namespace qzr::frontend::test
