#pragma once

#include <QByteArray>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "qzr/compiler/qmml_compile.h"

namespace qzr::studio {

// Compiles the editor's text a moment after the last keystroke (debounced, so typing never
// waits for a compile), in memory, with the event map; the voice files are read relative to the
// source's folder. The result goes to `done` on the GUI thread.
class LiveCompiler {
public:
    using Done = std::function<void(const qmml::Result&)>;
    static constexpr int kQuietMs = 150;

    explicit LiveCompiler(Done done);

    // The text changed: compile it once typing has paused for kQuietMs.
    void SourceChanged(QByteArray text, std::filesystem::path folder, std::string name);
    // Compiles what SourceChanged last gave now, if it has not been compiled yet.
    void CompileNow();

private:
    Done done_;
    QTimer quiet_;
    QByteArray text_;
    std::filesystem::path folder_;
    std::string name_;
    bool pending_ = false;
};

}  // namespace qzr::studio
