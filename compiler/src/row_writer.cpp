#include "qzr/compiler/row_writer.h"

#include <cassert>

namespace qzr {

void RowWriter::Put(std::int64_t row, int byteInRow, std::uint8_t value) {
    assert(byteInRow >= 0 && byteInRow < target_.RowSize());
    if (row < 0 || row >= kRowLimit) {
        ++skipped_;
        return;
    }
    const auto offset = static_cast<std::size_t>(target_.RowOffset(row) + byteInRow);
    sink_.Put(offset, value);
    if (static_cast<std::size_t>(writeCount_) < writes_.size()) {
        writes_[static_cast<std::size_t>(writeCount_++)] = {offset, value};
    }
}

}  // namespace qzr
