#pragma once

#include <string>
#include <vector>

namespace qzr::frontend::test {

// The calls the recording player library received, one per element ("InitOPM 44100 200"),
// read through its test entry by name, as the window reaches the library. GetSongPosition is
// left out unless asked for: the window polls it on a timer, so its place in the order is noise.
std::vector<std::string> RecordedCalls(bool withPositionQueries = false);
// False when the recording library cannot be reached by name.
bool ClearRecordedCalls();
// The row the recording library's GetSongPosition reports from now on.
void SetRecordedSongPosition(int row);

}  // namespace qzr::frontend::test
