#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "qzr/common/file_replacement.h"
#include "qzr/tools/render.h"

namespace qzr::studio {

// One export of the song as compiled, on a thread of its own through the same code as
// `qzr render` (WAV, FLAC, VGM by the output's name; stems into a folder). The song's bytes are
// handed over in a temporary file that goes with the job.
class ExportJob {
public:
    ExportJob(const std::vector<std::uint8_t>& song, tools::RenderOptions options);
    ~ExportJob();  // waits for the thread
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    bool Done() const { return done_.load(); }
    double Fraction() const { return fraction_.load(); }
    // Once done: the exit status as `qzr render` gives it, and what it said.
    int Status() const { return status_; }
    const std::string& Messages() const { return messages_; }

private:
    void Run(tools::RenderOptions options);

    FileReplacement song_;
    std::atomic<bool> done_{false};
    std::atomic<double> fraction_{0};
    int status_ = 1;
    std::string messages_;
    std::thread thread_;
};

}  // namespace qzr::studio
