#include "recorded_player.h"

#include <sstream>

#include "qzr/common/call_by_name.h"

namespace qzr::frontend::test {
namespace {

constexpr char kPlayer[] = "qzrplay.dll";

}  // namespace

std::vector<std::string> RecordedCalls(bool withPositionQueries) {
    const int length = CallByName("QzrRecording_Read", kPlayer, 0, 0);
    std::string text(static_cast<std::size_t>(length), '\0');
    CallByName("QzrRecording_Read", kPlayer, text.data(), length);

    std::vector<std::string> calls;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (withPositionQueries || line != "GetSongPosition") calls.push_back(line);
    }
    return calls;
}

bool ClearRecordedCalls() { return CallByName("QzrRecording_Clear", kPlayer) == 1; }

void SetRecordedSongPosition(int row) { CallByName("QzrRecording_SetSongPosition", kPlayer, row); }

}  // namespace qzr::frontend::test
