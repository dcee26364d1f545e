#pragma once

// What the qmml parser makes of a source: the header, the voices, the macros and the channel
// lines, each line's music as a flat run of nodes. Private to the qmml front end.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "qzr/compiler/qmml_voice.h"

namespace qzr::qmml {

struct Position {
    int line = 0;
    int column = 0;
};

enum class NodeKind : std::uint8_t {
    Note,           // a: letter (0 c .. 6 b); b: accidental in semitones; flag: written out
    Rest,           // rows: 0 for the default length
    Tie,            // rows: 0 for the default length
    Slur,           //
    DefaultLength,  // rows
    Octave,         // a: octave
    OctaveUp,       //
    OctaveDown,     //
    Transpose,      // a: semitones
    KeySignature,   // key
    LegatoOn,       //
    LegatoOff,      //
    Voice,          // a: voice number
    Pan,            // a: Pan
    RepeatOpen,     // a: index of the close; b: index of the pass break, or -1
    RepeatBreak,    //
    RepeatClose,    // a: count; b: index of the open
    Macro,          // a: macro index
    Bar,            //
};

enum class Pan : std::uint8_t { LR, L, R, Off };

// A key signature: two bits a letter (c at bit 0): 1 sharp, 2 flat.
using KeySignature = std::uint16_t;
inline int KeyOffset(KeySignature key, int letter) {
    const int bits = (key >> (2 * letter)) & 3;
    return bits == 1 ? 1 : bits == 2 ? -1 : 0;
}
inline KeySignature WithKey(KeySignature key, int letter, int offset) {
    const int shift = 2 * letter;
    const int bits = offset > 0 ? 1 : offset < 0 ? 2 : 0;
    return static_cast<KeySignature>((key & ~(3 << shift)) | (bits << shift));
}

// 24 bytes: a source of kMaxSourceBytes makes at most that many nodes.
struct Node {
    NodeKind kind{};
    bool flag = false;
    KeySignature key = 0;
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t rows = 0;
    Position at;
};
static_assert(sizeof(Node) == 24);

// Nodes [begin, end) of Program::nodes.
struct NodeRange {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
};

struct Macro {
    std::string name;
    Position defined;  // line 0 while only used
    Position firstUse;
    NodeRange body;
    bool broken = false;  // part of a cycle or too deep: uses expand to nothing
};

struct ChannelLine {
    std::vector<int> channels;  // from 0, in the order written
    NodeRange body;
    Position at;
};

struct VoiceDefinition {
    int number = 0;
    Position at;
    VoiceBytes bytes{};
    bool usable = false;         // read or parsed without error
    std::filesystem::path file;  // empty for an inline voice
};

template <typename T>
struct Given {
    std::optional<T> value;
    Position at;
};

struct Program {
    Given<std::string> title;
    Given<std::string> chip;         // as written after #chip
    Given<std::int64_t> tempoMilli;  // beats a minute, in thousandths
    Given<int> speed;
    Given<std::int64_t> rows;
    Given<std::int64_t> bar;
    std::vector<VoiceDefinition> voices;
    std::vector<Macro> macros;
    std::vector<ChannelLine> lines;
    std::vector<Node> nodes;
};

}  // namespace qzr::qmml
