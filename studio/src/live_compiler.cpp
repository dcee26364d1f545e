#include "qzr/studio/live_compiler.h"

#include <span>

namespace qzr::studio {

LiveCompiler::LiveCompiler(Done done) : done_(std::move(done)) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    QObject::connect(&quiet_, &QTimer::timeout, [this] { CompileNow(); });
}

void LiveCompiler::SourceChanged(QByteArray text, std::filesystem::path folder, std::string name) {
    text_ = std::move(text);
    folder_ = std::move(folder);
    name_ = std::move(name);
    pending_ = true;
    quiet_.start();
}

void LiveCompiler::CompileNow() {
    quiet_.stop();
    if (!pending_) return;
    pending_ = false;
    qmml::Options options;
    options.sourceName = name_;
    options.baseFolder = folder_;
    options.mapEvents = true;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text_.constData());
    const qmml::Result result =
        qmml::Compile(std::span(bytes, static_cast<std::size_t>(text_.size())), options);
    done_(result);
}

}  // namespace qzr::studio
