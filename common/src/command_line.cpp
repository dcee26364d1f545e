#include "qzr/common/command_line.h"

#include <cstring>

#include "qzr/common/temp_string.h"
#include "qzr/common/text_helpers.h"

namespace qzr {

namespace {

constexpr char kTailCancel = 0x14;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

char* Tail(const char* line, TailQuotes tailQuotes) {
    const char* p = line;
    // Quoted stretches of the program name may hold spaces.
    while (*p != '\0' && *p != ' ') {
        if (*p == '"') {
            ++p;
            while (*p != '\0' && *p != '"') ++p;
            if (*p == '"') ++p;
        } else {
            ++p;
        }
    }
    p = SkipBlanks(p);
    const std::size_t length = std::strlen(p);
    if (length == 0 || p[length - 1] == kTailCancel) return TempString(1);
    if (tailQuotes == TailQuotes::kEnclosingPairRemoved && length >= 2 && p[0] == '"' &&
        p[length - 1] == '"' && std::memchr(p + 1, '"', length - 2) == nullptr) {
        char* inside = TempString(length - 2);
        std::memcpy(inside, p + 1, length - 2);
        return inside;
    }
    return ConcatTexts({p});
}

}  // namespace

char* CommandArgumentOf(const char* commandLine, int n, TailQuotes tailQuotes) {
    const char* line = commandLine != nullptr ? commandLine : "";
    if (n < 0) return Tail(line, tailQuotes);

    const char* begin = line;
    const char* end = line;
    for (int i = 0; i <= n; ++i) {
        begin = SkipBlanks(end);
        end = begin;
        if (*end == '"') {
            ++end;
            while (*end != '\0' && *end != '"') ++end;
            if (*end == '"') ++end;
        } else {
            while (*end != '\0' && *end != ' ') ++end;
        }
    }
    if (*begin == '"') {
        ++begin;
        if (end > begin && end[-1] == '"') --end;
    }
    char* result = TempString(static_cast<std::size_t>(end - begin));
    if (end > begin) std::memcpy(result, begin, static_cast<std::size_t>(end - begin));
    return result;
}

char* CommandArgument(int n) {
    return CommandArgumentOf(RawCommandLine(), n, PlatformTailQuotes());
}

}  // namespace qzr
