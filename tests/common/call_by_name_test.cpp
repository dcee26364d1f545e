#include "qzr/common/call_by_name.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "loaded_library.h"

#if defined(_WIN32) && defined(__i386__)
// What the i686 call routine leaves to its caller, seen from outside any compiled frame: this
// routine aligns the stack, notes the stack pointer in %ebx, puts marks in %esi and %edi (all
// three kept by both calling conventions), calls MeasuredCall (a __cdecl function of four
// words, which calls by name) and reports the result, how far the stack pointer moved and the
// marks as they came back.
struct CallTrace {
    int result;
    int stackMoved;
    std::uint32_t esi;
    std::uint32_t edi;
};
constexpr std::uint32_t kEsiMark = 0x51a7e51;
constexpr std::uint32_t kEdiMark = 0x7e57ed1;

extern "C" int MeasuredCall(const char* entry, const char* library, const qzr::CallWord* words,
                            std::size_t count) __asm__("qzr_test_measured_call");
extern "C" __attribute__((used)) int MeasuredCall(const char* entry, const char* library,
                                                  const qzr::CallWord* words, std::size_t count) {
    return qzr::CallByNameWords(entry, library, std::span<const qzr::CallWord>(words, count));
}

// void qzr_test_trace_call(CallTrace* out, entry, library, words, count), __cdecl.
asm(R"(
    .text
    .p2align 4
qzr_test_trace_call:
    pushl   %ebp
    movl    %esp, %ebp
    pushl   %ebx
    pushl   %esi
    pushl   %edi
    andl    $-16, %esp
    movl    %esp, %ebx
    movl    $0x51a7e51, %esi
    movl    $0x7e57ed1, %edi
    pushl   24(%ebp)
    pushl   20(%ebp)
    pushl   16(%ebp)
    pushl   12(%ebp)
    call    qzr_test_measured_call
    addl    $16, %esp
    movl    8(%ebp), %ecx
    movl    %eax, 0(%ecx)
    movl    %esp, %edx
    subl    %ebx, %edx
    movl    %edx, 4(%ecx)
    movl    %esi, 8(%ecx)
    movl    %edi, 12(%ecx)
    leal    -12(%ebp), %esp
    popl    %edi
    popl    %esi
    popl    %ebx
    popl    %ebp
    ret
)");
extern "C" void TraceCall(CallTrace* out, const char* entry, const char* library,
                          const qzr::CallWord* words,
                          std::size_t count) __asm__("qzr_test_trace_call");
#endif

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

#if defined(_WIN32) && defined(__i386__)
// Each entry of 0, 1, 2 and 7 words in both conventions, called many times: the right result,
// the stack pointer where it was and the caller's kept registers intact after every call.
TEST(CallByName, LeavesTheCallersStackAndRegistersAsTheyWere) {
    constexpr int kRepeats = 100;
    const std::vector<qzr::CallWord> words{4, 4, 1, 0, 0, 2, 5};
    struct Outcome {
        int result;
        int stackMoved;
        bool marksKept;
        bool operator==(const Outcome&) const = default;
    };
    for (const std::string convention : {"Arity", "StdcallArity"}) {
        std::vector<Outcome> actual;
        for (const std::size_t count : {0u, 1u, 2u, 7u}) {
            const std::string entry = convention + std::to_string(count);
            Outcome outcome{0, 0, true};
            for (int repeat = 0; repeat < kRepeats; ++repeat) {
                CallTrace trace{};
                TraceCall(&trace, entry.c_str(), kProbe, words.data(), count);
                if (repeat == 0) outcome.result = trace.result;
                if (trace.result != outcome.result) outcome.result = -1;
                if (trace.stackMoved != 0) outcome.stackMoved = trace.stackMoved;
                if (trace.esi != kEsiMark || trace.edi != kEdiMark) outcome.marksKept = false;
            }
            actual.push_back(outcome);
        }
        SCOPED_TRACE(convention);
        const std::vector<Outcome> expected{
            {0, 0, true}, {14, 0, true}, {244, 0, true}, {74410025, 0, true}};
        EXPECT_EQ(actual, expected);
    }
}
#endif

// The call sites' entries, under the spellings a 32-bit Windows library may give them (the
// player's undecorated, the emulator's with a leading "_"), found by their plain names and
// called with the call site's words.
TEST(CallByName, FindsTheCallSitesEntriesAsWindowsLibrariesSpellThem) {
    struct Case {
        const char* entry;
        std::vector<qzr::CallWord> words;
        int expected;
    };
    const std::vector<Case> cases{
        {"InitOPM", {4, 2}, 1242},
        {"ReleaseOPM", {}, 2000},
        {"PlaySong", {3}, 3133},
        {"PlaySong2", {4}, 4144},
        {"StopSong", {}, 5000},
        {"GetSongPosition", {}, 6000},
        {"X68Sound_Start", {4, 1, 0, 5, 5, 2, 1}, 7741},
        {"X68Sound_Free", {}, 8000},
        {"X68Sound_Reset", {}, 9000},
        {"X68Sound_OpmReg", {2}, 10122},
        {"X68Sound_OpmPoke", {3}, 11133},
        {"X68Sound_TotalVolume", {4}, 12144},
        {"X68Sound_BetwInt", {5}, 13155},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(qzr::CallByNameWords(c.entry, kProbe, c.words), c.expected);
    }
}

// Our own libraries export the call sites' entries under their plain names, as their callers
// look them up (on 32-bit Windows a __stdcall entry would otherwise be spelt NAME@BYTES).
TEST(CallByName, OurLibrariesExportTheCallSitesEntriesUnderTheirPlainNames) {
    struct Case {
        const char* library;
        std::vector<const char*> entries;
    };
    std::vector<Case> cases{
        {"qzrplay",
         {"InitOPM", "ReleaseOPM", "PlaySong", "PlaySong2", "StopSong", "GetSongPosition"}}};
#if defined(QZR_HAVE_X68SOUND)
    cases.push_back({"x68sound",
                     {"X68Sound_Start", "X68Sound_Free", "X68Sound_Reset", "X68Sound_OpmReg",
                      "X68Sound_OpmPoke", "X68Sound_TotalVolume", "X68Sound_BetwInt"}});
#endif
    for (const auto& c : cases) {
        const std::string path = std::string(QZR_BIN_DIR "/") + PlatformLibraryName(c.library);
        std::vector<std::string> missing;
        for (const char* entry : c.entries) {
            if (!qzr::test::ExportsEntry(path, entry)) missing.emplace_back(entry);
        }
        SCOPED_TRACE(path);
        EXPECT_EQ(missing, std::vector<std::string>{});
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
