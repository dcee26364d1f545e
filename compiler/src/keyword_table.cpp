#include "qzr/compiler/keyword_table.h"

#include <cassert>

namespace qzr {

const KeywordTable& KeywordsFor(const SongTarget& target) {
    assert(target.channelCount == kOPMTarget.channelCount ||
           target.channelCount == kOPN2Target.channelCount);
    return target.channelCount == kOPMTarget.channelCount ? kOPMKeywords : kOPN2Keywords;
}

}  // namespace qzr
