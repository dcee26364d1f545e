#include "export_job.h"

#include <cstdio>
#include <memory>

#include "qzr/format/song_kind.h"

namespace qzr::studio {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

std::string ReadAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        text.append(chunk, got);
    }
    return text;
}

}  // namespace

ExportJob::ExportJob(const std::vector<std::uint8_t>& song, tools::RenderOptions options)
    : song_(std::filesystem::temp_directory_path() /
            ("qzrstudio-export." + std::string(SongKindName(options.kind)) + ".qzr")) {
    std::string error;
    if (!song_.Open(error) || !song_.Write(song, error)) {
        messages_ = "the song cannot be handed to the export (" + error + ")";
        done_.store(true);
        return;
    }
    options.song = song_.TemporaryPath();
    options.progress = [this](double fraction) { fraction_.store(fraction); };
    thread_ = std::thread([this, options] { Run(options); });
}

ExportJob::~ExportJob() {
    if (thread_.joinable()) thread_.join();
}

void ExportJob::Run(tools::RenderOptions options) {
    // What the render says goes to a scratch file, to be shown in the window.
    const std::unique_ptr<std::FILE, FileCloser> said(std::tmpfile());
    std::FILE* err = said ? said.get() : stderr;
    status_ = tools::RunRender(options, nullptr, err);
    if (said) messages_ = ReadAll(said.get());
    done_.store(true);
}

}  // namespace qzr::studio
