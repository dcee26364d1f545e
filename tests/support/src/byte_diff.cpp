#include "qzr/test_support/byte_diff.h"

#include <algorithm>
#include <cstdio>

namespace qzr::test {

std::optional<std::size_t> FirstDifference(const Bytes& actual, const Bytes& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) return i;
    }
    if (actual.size() != expected.size()) return common;
    return std::nullopt;
}

namespace {

std::string HexLine(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::string line;
    char cell[8];
    for (std::size_t i = from; i < to; ++i) {
        if (i < bytes.size()) {
            std::snprintf(cell, sizeof cell, "%02X ", bytes[i]);
            line += cell;
        } else {
            line += "-- ";
        }
    }
    return line;
}

}  // namespace

std::string HexContext(const Bytes& actual, const Bytes& expected, std::size_t around) {
    const auto at = FirstDifference(actual, expected);
    if (!at) return {};
    const std::size_t from = *at > around ? *at - around : 0;
    const std::size_t to = *at + around;
    std::string text = "first difference at offset " + std::to_string(*at) + " (sizes " +
                       std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
                       "), bytes from offset " + std::to_string(from) + ":\n";
    text += "  actual:   " + HexLine(actual, from, to) + "\n";
    text += "  expected: " + HexLine(expected, from, to) + "\n";
    return text;
}

}  // namespace qzr::test
