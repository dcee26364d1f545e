// Probing for a sound device where there is no sound card must not flood standard error with
// ALSA's configuration errors, and must leave ALSA reporting the host's own errors afterwards.
#include "alsa_error_silencer.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "qzr/emulator_engine/engine.h"

namespace qzr::emulator {
namespace {

// Asks ALSA for a device that exists nowhere, which it reports through its error handler;
// returns what reached standard error.
std::string StderrOfOpeningAMissingDevice(void* alsa) {
    using PcmOpen = int (*)(void** pcm, const char* name, int stream, int mode);
    using PcmClose = int (*)(void* pcm);
    const auto open = reinterpret_cast<PcmOpen>(dlsym(alsa, "snd_pcm_open"));
    const auto close = reinterpret_cast<PcmClose>(dlsym(alsa, "snd_pcm_close"));
    if (open == nullptr || close == nullptr) return "(no snd_pcm_open)";
    testing::internal::CaptureStderr();
    void* pcm = nullptr;
    if (open(&pcm, "qzr_no_such_device", 0, 0) == 0) close(pcm);
    return testing::internal::GetCapturedStderr();
}

class AlsaErrors : public testing::Test {
protected:
    void SetUp() override {
        alsa_ = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (alsa_ == nullptr) GTEST_SKIP() << "ALSA is not installed here";
    }
    void TearDown() override {
        if (alsa_ != nullptr) dlclose(alsa_);
    }
    void* alsa_ = nullptr;
};

TEST_F(AlsaErrors, AreQuietWhileASilencerLivesAndReportedAgainAfterIt) {
    ASSERT_NE(StderrOfOpeningAMissingDevice(alsa_).find("qzr_no_such_device"), std::string::npos)
        << "ALSA's default reporting is expected to name the missing device";
    {
        const AlsaErrorSilencer silencer;
        EXPECT_EQ(StderrOfOpeningAMissingDevice(alsa_), "");
    }
    EXPECT_NE(StderrOfOpeningAMissingDevice(alsa_).find("qzr_no_such_device"), std::string::npos);
}

TEST_F(AlsaErrors, StartingOnTheDeviceOrTheSilentClockPrintsNoneOfThem) {
    Engine engine;
    StartOptions options;
    options.output = Output::DeviceOrSilentClock;
    testing::internal::CaptureStderr();
    ASSERT_EQ(engine.Start(options), StartResult::Started);
    engine.Stop();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.find("ALSA lib"), std::string::npos) << printed;
    // And the host's own ALSA errors still show.
    EXPECT_NE(StderrOfOpeningAMissingDevice(alsa_).find("qzr_no_such_device"), std::string::npos);
}

}  // namespace
}  // namespace qzr::emulator
