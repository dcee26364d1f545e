// qzr diff's inputs: two songs, split where the second byte says; the second of the other kind
// when that byte is odd.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "qzr/tools/diff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [kind, bytes] = qzr::fuzz::SplitKind(data, size);
    if (bytes.empty()) return 0;
    // The split point in 1/256ths of the rest, so both songs may have any length.
    const auto rest = bytes.subspan(1);
    const std::size_t at = rest.size() * bytes[0] / 256;
    const qzr::SongImage a(kind, std::vector<std::uint8_t>(
                                     rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(at)));
    const qzr::SongKind other =
        kind == qzr::SongKind::OPM ? qzr::SongKind::OPN2 : qzr::SongKind::OPM;
    const qzr::SongImage b(
        (bytes[0] & 1) != 0 ? other : kind,
        std::vector<std::uint8_t>(rest.begin() + static_cast<std::ptrdiff_t>(at), rest.end()));
    const std::string text = qzr::tools::DescribeDifferences(a, b);
    // A file is never different from itself.
    if (!qzr::tools::DescribeDifferences(a, a).empty()) __builtin_trap();
    return text.size() == 1 ? 1 : 0;
}
