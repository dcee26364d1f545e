#include "qzr/common/call_by_name.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "loaded_library.h"

namespace {

using qzr::CallByName;
using qzr::test::InProcess;
using qzr::test::PlatformLibraryName;

constexpr const char* kProbe = "qzr_call_probe.dll";
constexpr const char* kMissing = "qzr_no_such_library.dll";

TEST(CallByName, PassesEveryArgumentCountInOrder) {
    struct Case {
        int count;
        std::function<int()> call;
    };
    const std::vector<Case> cases{
        {0, [] { return CallByName("Arity0", kProbe); }},
        {1, [] { return CallByName("Arity1", kProbe, 7); }},
        {2, [] { return CallByName("Arity2", kProbe, 1, 2); }},
        {3, [] { return CallByName("Arity3", kProbe, 3, 1, 2); }},
        {4, [] { return CallByName("Arity4", kProbe, 9, 8, 7, 6); }},
        {5, [] { return CallByName("Arity5", kProbe, 1, 2, 3, 4, 5); }},
        {6, [] { return CallByName("Arity6", kProbe, 6, 5, 4, 3, 2, 1); }},
        {7, [] { return CallByName("Arity7", kProbe, 4, 4, 1, 0, 0, 2, 5); }},
    };
    const std::vector<int> expected{0, 17, 212, 3312, 49876, 512345, 6654321, 74410025};
    std::vector<int> actual;
    for (const auto& c : cases) actual.push_back(c.call());
    EXPECT_EQ(actual, expected);
}

// On 32-bit x86 an entry may remove its own arguments (__stdcall) or leave them to the caller
// (__cdecl); both are served alike. A call that left the stack pointer where a __stdcall entry
// put it, or removed a __cdecl entry's words twice, would move it by up to 28 bytes a call and
// break this function's frame long before a thousand calls.
TEST(CallByName, ServesEntriesThatRemoveTheirWordsAndEntriesThatDoNot) {
    constexpr int kRepeats = 1000;
    const std::vector<qzr::CallWord> words{4, 4, 1, 0, 0, 2, 5};
    const std::vector<int> expectedByCount{0, 14, 244, 3441, 44410, 544100, 6441002, 74410025};
    for (const std::string convention : {"Arity", "StdcallArity"}) {
        std::vector<int> actual;
        for (std::size_t count = 0; count <= words.size(); ++count) {
            const std::string entry = convention + std::to_string(count);
            const std::span<const qzr::CallWord> first(words.data(), count);
            int result = qzr::CallByNameWords(entry.c_str(), kProbe, first);
            for (int repeat = 1; repeat < kRepeats; ++repeat) {
                if (qzr::CallByNameWords(entry.c_str(), kProbe, first) != result) result = -1;
            }
            actual.push_back(result);
        }
        SCOPED_TRACE(convention);
        EXPECT_EQ(actual, expectedByCount);
    }
}

TEST(CallByName, PointerSurvivesAsAWord) {
    int target = 0;
    EXPECT_EQ(CallByName("StoreThrough", kProbe, &target, 1234), 1);
    EXPECT_EQ(target, 1234);
}

TEST(CallByName, FallsBackToAnsiThenUnderscoreNames) {
    struct Case {
        const char* entry;
        int expected;
    };
    for (const auto& [entry, expected] :
         {Case{"Plain", 6}, Case{"OnlyAnsi", 2}, Case{"OnlyUnderscore", 3}, Case{"Both", 4}}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(CallByName(entry, kProbe), expected);
    }
}

TEST(CallByName, MissingLibraryOrEntryGivesZero) {
    EXPECT_EQ(CallByName("Arity0", kMissing), 0);
    EXPECT_EQ(CallByName("NoSuchEntry", kProbe), 0);
    EXPECT_EQ(CallByName("", kProbe), 0);
    // A name too long to take a fallback character is looked up as it is, and not found.
    EXPECT_EQ(CallByName(std::string(300, 'x').c_str(), kProbe), 0);
}

TEST(CallByName, FindsALoadedLibraryUnderAnyFormOfItsName) {
    EXPECT_EQ(CallByName("Arity0", kProbe), 0);
    const std::string fileName = PlatformLibraryName("qzr_call_probe");
    ASSERT_TRUE(InProcess(fileName));
    // A library already in the process is used without another load, from any name form.
    EXPECT_EQ(CallByName("Plain", fileName.c_str()), 6);
    EXPECT_EQ(CallByName("Plain", QZR_BIN_DIR "/qzr_call_probe.dll"), 6);
}

TEST(CallByName, LooksInLibFolderBesideTheProgram) {
    EXPECT_EQ(CallByName("LibFolderProbe", "qzr_lib_folder_probe.dll"), 11);
}

TEST(CallByName, LoadFromAnExplicitFolder) {
    EXPECT_EQ(CallByName("LibFolderProbe", QZR_BINARY_DIR "/lib/qzr_lib_folder_probe.dll"), 11);
}

TEST(CallByName, TwoHundredFiftySeventhLoadReleasesTheFirst) {
    const std::string ringProbe = PlatformLibraryName("qzr_ring_probe");
    ASSERT_FALSE(InProcess(ringProbe));
    EXPECT_EQ(CallByName("RingProbe", "qzr_ring_probe.dll"), 12);
    ASSERT_TRUE(InProcess(ringProbe));
    // Each call to a missing library is a load of its own into the next slot.
    for (int load = 2; load <= 256; ++load) EXPECT_EQ(CallByName("Arity0", kMissing), 0);
    EXPECT_TRUE(InProcess(ringProbe)) << "released before its slot came round again";
    EXPECT_EQ(CallByName("Arity0", kMissing), 0);  // the 257th load reuses the probe's slot
    EXPECT_FALSE(InProcess(ringProbe));
}

TEST(CallByNameDeathTest, ReleasesLoadedLibrariesAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (CallByName("RingProbe", "qzr_ring_probe.dll") != 12) std::_Exit(3);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "ring probe released");
}

}  // namespace
