#pragma once

namespace qzr::tools {

// Catches Ctrl-C (SIGINT; on Windows the console's Ctrl-C and Ctrl-Break) while alive, so
// playback can stop cleanly instead of dying mid-note; the previous handling comes back when it
// is destroyed.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    static bool Interrupted();
};

}  // namespace qzr::tools
