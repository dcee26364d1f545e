#include "qzr/frontend/refresh_timer.h"

#include <QTimer>
#include <chrono>
#include <utility>

namespace qzr::frontend {
namespace {

constexpr std::chrono::milliseconds kRefreshInterval{100};

class QtRefreshTimer final : public RefreshTimer {
public:
    QtRefreshTimer() {
        timer_.setInterval(kRefreshInterval);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            if (onTimeout_) onTimeout_();
        });
    }

    void Start(std::function<void()> onTimeout) override {
        onTimeout_ = std::move(onTimeout);
        timer_.start();
    }

    void Stop() override { timer_.stop(); }

private:
    QTimer timer_;
    std::function<void()> onTimeout_;
};

}  // namespace

std::unique_ptr<RefreshTimer> MakeRefreshTimer() { return std::make_unique<QtRefreshTimer>(); }

}  // namespace qzr::frontend
