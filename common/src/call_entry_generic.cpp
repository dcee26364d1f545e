#include "call_entry.h"

namespace qzr {

// Where one calling convention serves every entry (x86_64, and 32-bit Linux, whose libraries
// export __cdecl entries), the call through the pointer cast to the entry's type is well-defined:
// every entry we call by name takes `count` machine words and returns int.
int CallEntry(dynlib::EntryAddress entry, std::span<const CallWord> w) {
    using W = CallWord;
    switch (w.size()) {
        case 0:
            return reinterpret_cast<int (*)()>(entry)();
        case 1:
            return reinterpret_cast<int (*)(W)>(entry)(w[0]);
        case 2:
            return reinterpret_cast<int (*)(W, W)>(entry)(w[0], w[1]);
        case 3:
            return reinterpret_cast<int (*)(W, W, W)>(entry)(w[0], w[1], w[2]);
        case 4:
            return reinterpret_cast<int (*)(W, W, W, W)>(entry)(w[0], w[1], w[2], w[3]);
        case 5:
            return reinterpret_cast<int (*)(W, W, W, W, W)>(entry)(w[0], w[1], w[2], w[3], w[4]);
        case 6:
            return reinterpret_cast<int (*)(W, W, W, W, W, W)>(entry)(w[0], w[1], w[2], w[3], w[4],
                                                                      w[5]);
        case 7:
            return reinterpret_cast<int (*)(W, W, W, W, W, W, W)>(entry)(w[0], w[1], w[2], w[3],
                                                                         w[4], w[5], w[6]);
        default:
            return 0;
    }
}

}  // namespace qzr
