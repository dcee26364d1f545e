#include "play_fixture.h"

#include <cctype>
#include <chrono>
#include <filesystem>

#include "qzr/test_support/file_bytes.h"
#include "song_fixture.h"

namespace qzr::test {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::pair<int, std::size_t> NumberAfter(const std::string& text, const std::string& label,
                                        std::size_t from) {
    const std::size_t at = text.find(label, from);
    if (at == std::string::npos) return {-1, std::string::npos};
    std::size_t end = at + label.size();
    int value = 0;
    bool any = false;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0) {
        value = 10 * value + (text[end++] - '0');
        any = true;
    }
    return {any ? value : -1, end};
}

std::vector<int> StatusRows(const std::string& out) {
    std::vector<int> rows;
    for (std::size_t line = 0; line < out.size();) {
        const std::size_t next = out.find('\n', line);
        const std::string text = out.substr(line, next == std::string::npos ? next : next - line);
        if (text.rfind("row ", 0) == 0 && text.find("  pass ") != std::string::npos) {
            rows.push_back(NumberAfter(text, "row ", 0).first);
        }
        line = next == std::string::npos ? out.size() : next + 1;
    }
    return rows;
}

bool ShowsItPlays(ChildProcess& child) {
    return child.WaitFor(
        [](const std::string& out, const std::string&) { return StatusRows(out).size() >= 2; },
        std::chrono::seconds(20));
}

void QzrWatch::SetUp() {
    std::filesystem::copy(SourcePath("examples"), dir_.Path(),
                          std::filesystem::copy_options::recursive);
    source_ = ReadText(dir_ / kSource);
    CompileInto(dir_.Path(), kSource, source_, SongKind::OPM);
}

void QzrWatch::Save(const std::string& from, const std::string& to) {
    const std::size_t at = source_.find(from);
    ASSERT_NE(at, std::string::npos);
    source_.replace(at, from.size(), to);
    WriteText(dir_ / kSource, source_);
}

}  // namespace qzr::test
