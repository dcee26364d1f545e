#include "render_fixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "qzr/test_support/file_bytes.h"
#include "song_fixture.h"

namespace qzr::test {

std::vector<std::string> OtherFiles(const std::filesystem::path& folder,
                                    const std::set<std::string>& known) {
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (known.count(name) == 0) others.push_back(name);
    }
    std::sort(others.begin(), others.end());
    return others;
}

void RenderTest::SetUp() {
    WriteSineVoice(dir_ / "sine.voice");
    // One whole note of a (o4, 440 Hz) over 64 rows at 6 ticks a row: 1.92 s.
    song_ =
        CompileInto(dir_.Path(), "tiny.opm.mml",
                    MakeSource("Tiny", 6, 64, SongKind::OPM, {"ch1", "o4", "a1"}), SongKind::OPM);
}

ProgramRun RenderTest::Qzr(std::vector<std::string> args) {
    args.insert(args.begin(), QzrPath());
    return RunProgram(args, dir_.Path());
}

void RenderTest::ExpectEndingLeavesNoFileBehind(
    const std::function<void(const ChildProcess&)>& send, int status) {
    CompileInto(dir_.Path(), "still.opm.mml",
                MakeSource("Still", 0, 64, SongKind::OPM, {"ch1", "a"}), SongKind::OPM);
    const std::set<std::string> known{"tiny.opm.mml",  "tiny.opm.mml.qzr",  "sine.voice",
                                      "still.opm.mml", "still.opm.mml.qzr", "out.wav"};
    WriteText(dir_ / "out.wav", "mine");
    ChildProcess run(
        {QzrPath(), "render", "still.opm.mml.qzr", "-o", "out.wav", "--seconds", "3000"},
        dir_.Path());
    // Ends it once the render has begun writing.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (OtherFiles(dir_.Path(), known).empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(OtherFiles(dir_.Path(), known).empty()) << "the render wrote nothing";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send(run);
    EXPECT_EQ(run.Wait(std::chrono::seconds(20)), status) << run.Err();
    EXPECT_EQ(ReadText(dir_ / "out.wav"), "mine");
    EXPECT_EQ(OtherFiles(dir_.Path(), known), std::vector<std::string>{});
}

}  // namespace qzr::test
