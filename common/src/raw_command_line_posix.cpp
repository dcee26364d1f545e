#include <fstream>
#include <iterator>
#include <string>

#include "qzr/common/command_line.h"

namespace qzr {

// Linux hands the arguments over split; /proc/self/cmdline keeps them as NUL-separated strings,
// which we join with single blanks. The program name is quoted when it holds a space, as the
// one-string command line of other systems quotes it, so the tail still starts after it.
const char* RawCommandLine() {
    static const std::string line = [] {
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string joined;
        std::size_t start = 0;
        for (int index = 0; start < raw.size(); ++index) {
            std::size_t stop = raw.find('\0', start);
            if (stop == std::string::npos) stop = raw.size();
            const std::string argument = raw.substr(start, stop - start);
            if (index > 0) joined += ' ';
            if (index == 0 && argument.find(' ') != std::string::npos) {
                joined += '"' + argument + '"';
            } else {
                joined += argument;
            }
            start = stop + 1;
        }
        return joined;
    }();
    return line.c_str();
}

// A quote is an ordinary character of a file name here.
TailQuotes PlatformTailQuotes() { return TailQuotes::kKept; }

}  // namespace qzr
