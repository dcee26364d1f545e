#include "golden.h"
#include "render_fixture.h"

namespace qzr::test {

void ExpectPinnedRenderHashes(const std::string& hashes) {
    ExpectGolden(hashes, "render_hashes.txt");
}

}  // namespace qzr::test
