#include "qzr/studio/live_compiler.h"

#include <memory>
#include <new>
#include <span>

#include "qzr/studio/classic_source.h"

namespace qzr::studio {

LiveCompiler::LiveCompiler(Done done) : done_(std::move(done)) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    QObject::connect(&quiet_, &QTimer::timeout, &receiver_, [this] { StartInBackground(); });
}

LiveCompiler::~LiveCompiler() {
    if (running_.valid()) running_.wait();
}

void LiveCompiler::SourceChanged(QByteArray text, std::filesystem::path folder, std::string name) {
    latest_ = {std::move(text), std::move(folder), std::move(name)};
    ++edits_;
    quiet_.start();
}

qmml::Result LiveCompiler::Compile(const Source& source) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.text.constData());
    const std::span text(bytes, static_cast<std::size_t>(source.text.size()));
    try {
        if (const auto kind = ClassicKindOf(source.name)) {
            return CompileClassic(text, *kind, source.folder, source.folder / source.name);
        }
        qmml::Options options;
        options.sourceName = source.name;
        options.baseFolder = source.folder;
        options.mapEvents = true;
        return qmml::Compile(text, options);
    } catch (const std::bad_alloc&) {
        // Nothing may leave the compile's thread or the GUI's event loop as an exception.
        qmml::Result result;
        result.diagnostics.push_back(
            {0, 0, qmml::Severity::Error, "there is not enough memory to compile the source"});
        result.errors = 1;
        return result;
    }
}

void LiveCompiler::StartInBackground() {
    // One compile at a time: a later edit waits for the one under way to finish.
    if (running_.valid() || given_ == edits_) return;
    const std::uint64_t edit = edits_;
    running_ = std::async(std::launch::async, [this, edit, source = latest_] {
        auto result = std::make_shared<const qmml::Result>(Compile(source));
        QMetaObject::invokeMethod(
            &receiver_, [this, edit, result] { Finished(edit, *result); }, Qt::QueuedConnection);
    });
}

void LiveCompiler::Finished(std::uint64_t edit, const qmml::Result& result) {
    running_.get();
    if (edit == edits_ && edit > given_) {
        given_ = edit;
        done_(result);
        return;
    }
    // Overtaken by an edit: compile that one, unless typing has not paused yet.
    if (!quiet_.isActive()) StartInBackground();
}

void LiveCompiler::CompileNow() {
    quiet_.stop();
    if (given_ == edits_) return;
    given_ = edits_;
    done_(Compile(latest_));
}

}  // namespace qzr::studio
