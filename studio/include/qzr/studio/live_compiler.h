#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "qzr/compiler/qmml_compile.h"

namespace qzr::studio {

// Compiles the editor's text a moment after the last keystroke (debounced), in memory, with the
// event map: a qmml source, or a classic one when its name says so (CompileClassic); the voice
// files are read relative to the source's folder. The compile runs on a
// thread of its own, so typing never waits for it (the largest source takes about 0.1 s); its
// result goes to `done` on the GUI thread, and only while it is still the text's latest: a
// result overtaken by another edit is dropped.
class LiveCompiler {
public:
    using Done = std::function<void(const qmml::Result&)>;
    static constexpr int kQuietMs = 150;

    explicit LiveCompiler(Done done);
    // Waits for a compile under way; its result is not given.
    ~LiveCompiler();
    LiveCompiler(const LiveCompiler&) = delete;
    LiveCompiler& operator=(const LiveCompiler&) = delete;

    // The text changed: compile it once typing has paused for kQuietMs.
    void SourceChanged(QByteArray text, std::filesystem::path folder, std::string name);
    // Compiles the latest text now, on this thread, if its result has not been given yet.
    void CompileNow();

private:
    struct Source {
        QByteArray text;
        std::filesystem::path folder;
        std::string name;
    };
    static qmml::Result Compile(const Source& source);
    void StartInBackground();
    void Finished(std::uint64_t edit, const qmml::Result& result);

    Done done_;
    QTimer quiet_;
    QObject receiver_;  // results come back through its thread's event queue
    Source latest_;
    std::uint64_t edits_ = 0;  // the latest text's number
    std::uint64_t given_ = 0;  // the number of the text whose result was given last
    std::future<void> running_;
};

}  // namespace qzr::studio
