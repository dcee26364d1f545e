#include <signal.h>

#include <atomic>

#include "interrupt.h"

namespace qzr::tools {
namespace {

std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);  // safe to set from a signal handler
struct sigaction gPrevious {};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

}  // namespace

InterruptCatcher::InterruptCatcher() {
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &gPrevious);
}

InterruptCatcher::~InterruptCatcher() { sigaction(SIGINT, &gPrevious, nullptr); }

bool InterruptCatcher::Interrupted() { return gInterrupted.load(); }

}  // namespace qzr::tools
