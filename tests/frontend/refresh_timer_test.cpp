// The timer that refreshes the status line in the real program.
#include "qzr/frontend/refresh_timer.h"

#include <gtest/gtest.h>

#include <QTest>

namespace qzr::frontend {
namespace {

TEST(RefreshTimer, KeepsCallingTheLatestCallbackUntilStopped) {
    const auto timer = MakeRefreshTimer();
    int first = 0;
    int second = 0;
    timer->Start([&first] { ++first; });
    timer->Start([&second] { ++second; });
    EXPECT_TRUE(QTest::qWaitFor([&second] { return second >= 2; }, 10'000));
    EXPECT_EQ(first, 0);

    timer->Stop();
    const int stoppedAt = second;
    QTest::qWait(300);  // three periods
    EXPECT_EQ(second, stoppedAt);
}

}  // namespace
}  // namespace qzr::frontend
