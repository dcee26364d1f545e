#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzr {

// An in-memory file written by positioned single-byte writes. It grows as a file would: its
// length is one past the last byte written, and bytes never written read as zero.
class ByteSink {
public:
    void Put(std::size_t at, std::uint8_t value) {
        if (at >= bytes_.size()) bytes_.resize(at + 1);
        bytes_[at] = value;
    }

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    std::vector<std::uint8_t> Release() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace qzr
