#pragma once

#include <functional>
#include <memory>

namespace qzr::frontend {

// Calls back at a steady pace while started, so the window can show the playing row. Tests put in
// a timer they fire by hand. Lives and fires on the GUI thread.
class RefreshTimer {
public:
    virtual ~RefreshTimer() = default;
    // Starts calling onTimeout (again) from the event loop; a second Start replaces the callback.
    virtual void Start(std::function<void()> onTimeout) = 0;
    virtual void Stop() = 0;
};

// About ten refreshes a second: often enough for a row counter, cheap for the player.
std::unique_ptr<RefreshTimer> MakeRefreshTimer();

}  // namespace qzr::frontend
