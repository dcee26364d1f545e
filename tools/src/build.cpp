#include "qzr/tools/build.h"

#include <system_error>

#include "qzr/compiler/song_file_writer.h"

namespace qzr::tools {

namespace {

constexpr std::string_view kQmmlExtension = ".qmml";

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto canonicalA = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, ec);
    return !ec && canonicalA == canonicalB;
}

// The compile, with its report printed; nullopt when there is nothing to write.
std::optional<qmml::Result> Compiled(const std::filesystem::path& source, std::FILE* err,
                                     int& status) {
    qmml::Result result = qmml::CompileFile(source);
    PrintDiagnostics(result, source.string(), err);
    if (result.Ok()) return result;
    status = result.unreadable ? 2 : 1;
    if (!result.unreadable) {
        std::fprintf(err, "qzr: %s: %d error%s; nothing written\n", source.string().c_str(),
                     result.errors, result.errors == 1 ? "" : "s");
    }
    return std::nullopt;
}

}  // namespace

bool IsQmmlSource(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.size() > kQmmlExtension.size() &&
           name.compare(name.size() - kQmmlExtension.size(), kQmmlExtension.size(),
                        kQmmlExtension) == 0;
}

std::filesystem::path DefaultBuildOutput(const std::filesystem::path& source) {
    if (!IsQmmlSource(source)) return source.string() + ".qzr";
    std::filesystem::path output = source;
    output.replace_extension(".qzr");
    return output;
}

void PrintDiagnostics(const qmml::Result& result, const std::string& sourceName, std::FILE* err) {
    for (const qmml::Diagnostic& d : result.diagnostics) {
        std::fprintf(err, "%s\n", qmml::FormatDiagnostic(sourceName, d).c_str());
    }
    if (result.dropped > 0) {
        std::fprintf(err, "qzr: %s: %d more diagnostics not shown\n", sourceName.c_str(),
                     result.dropped);
    }
    std::fflush(err);
}

int RunQmmlCheck(const std::filesystem::path& source, std::optional<SongKind> kind,
                 std::FILE* err) {
    qmml::Options options;
    options.kind = kind;
    const qmml::Result result = qmml::CompileFile(source, options);
    PrintDiagnostics(result, source.string(), err);
    if (result.unreadable) return 2;
    return result.errors + result.warnings == 0 ? 0 : 1;
}

std::optional<qmml::Result> BuildInMemory(const std::filesystem::path& source,
                                          std::optional<SongKind> kind, std::FILE* err) {
    qmml::Options options;
    options.kind = kind;
    qmml::Result result = qmml::CompileFile(source, options);
    PrintDiagnostics(result, source.string(), err);
    if (!result.Ok()) return std::nullopt;
    return result;
}

int RunBuild(const std::filesystem::path& source, const std::filesystem::path& output,
             std::FILE* out, std::FILE* err) {
    const std::filesystem::path target = output.empty() ? DefaultBuildOutput(source) : output;
    if (SamePath(target, source)) {
        std::fprintf(err, "qzr: %s: the song would overwrite its source\n",
                     target.string().c_str());
        return 2;
    }
    int status = 0;
    const auto result = Compiled(source, err, status);
    if (!result) return status;
    SongFileWriter writer(target);
    if (!writer.Open() || !writer.Commit(result->song)) {
        std::fprintf(err, "qzr: cannot write %s\n", target.string().c_str());
        return 2;
    }
    std::fprintf(out, "%s: %zu bytes, %d rows\n", target.string().c_str(), result->song.size(),
                 result->classic.rowCount);
    return 0;
}

int RunLower(const std::filesystem::path& source, const std::filesystem::path& folder,
             std::FILE* out, std::FILE* err) {
    int status = 0;
    const auto result = Compiled(source, err, status);
    if (!result) return status;
    if (result->slurs > 0) {
        qmml::Diagnostic note = result->firstSlur;
        note.message = "the classic form cannot express a slur ('&'); " +
                       std::to_string(result->slurs) + " slurred note" +
                       (result->slurs == 1 ? " is" : "s are") +
                       " written as legato, keying on again where the song file slurs";
        std::fprintf(err, "%s\n", qmml::FormatDiagnostic(source.string(), note).c_str());
    }
    std::string name = source.filename().string();
    if (IsQmmlSource(source)) name = name.substr(0, name.size() - kQmmlExtension.size()) + ".mml";
    const qmml::ClassicFiles files = qmml::WriteClassicFiles(result->classic, folder, name);
    if (!files.ok) {
        std::fprintf(err, "qzr: cannot write %s\n", files.failed.string().c_str());
        return 2;
    }
    const char* compiler = result->classic.kind == SongKind::OPM ? "opmcomp" : "opn2comp";
    std::fprintf(out, "%s: %zu lines and %zu voice files; compile it there with %s %s\n",
                 (folder / name).string().c_str(),
                 3 + 2 * result->classic.voices.size() + result->classic.body.size(),
                 files.written.size() - 1, compiler, name.c_str());
    return 0;
}

}  // namespace qzr::tools
