#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "qzr/test_support/library_handle.h"

namespace qzr::emulator {

using W = std::intptr_t;

// The emulator library from the build's program folder, loaded by file name as a host loads it,
// its entries looked up once.
struct X68Sound {
    X68Sound() : library(qzr::test::BuiltLibrary("x68sound")) {
        start = Entry<int (*)(W, W, W, W, W, W, W)>("X68Sound_Start");
        free = Entry<int (*)()>("X68Sound_Free");
        reset = Entry<int (*)()>("X68Sound_Reset");
        opmReg = Entry<int (*)(W)>("X68Sound_OpmReg");
        opmPoke = Entry<int (*)(W)>("X68Sound_OpmPoke");
        totalVolume = Entry<int (*)(W)>("X68Sound_TotalVolume");
        betwInt = Entry<int (*)(W)>("X68Sound_BetwInt");
    }

    bool Complete() const {
        return start && free && reset && opmReg && opmPoke && totalVolume && betwInt;
    }
    int StartAsThePlayerDoes() const { return start(44'100, 1, 0, 5, 5, 200, 1); }

    template <typename F>
    F Entry(const char* name) const {
        return reinterpret_cast<F>(library.Find(name));
    }

    qzr::test::LibraryHandle library;
    int (*start)(W, W, W, W, W, W, W) = nullptr;
    int (*free)() = nullptr;
    int (*reset)() = nullptr;
    int (*opmReg)(W) = nullptr;
    int (*opmPoke)(W) = nullptr;
    int (*totalVolume)(W) = nullptr;
    int (*betwInt)(W) = nullptr;
};

// Whether `count` more ticks arrive on `counter` within `limit`: on a busy machine the clock's
// thread may be scheduled late, but its ticks must come.
inline bool TicksCome(const std::atomic<int>& counter, int count, std::chrono::milliseconds limit) {
    const int target = counter.load() + count;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (counter.load() < target) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace qzr::emulator
