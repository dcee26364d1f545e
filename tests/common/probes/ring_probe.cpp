// Loaded by one ring test only, so whether it is still in the process tells whether the ring
// released it; it says so on stderr when it is unloaded.
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) int RingProbe() { return 12; }

__attribute__((destructor)) static void SayReleased() {
    constexpr char kMessage[] = "ring probe released\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
}
