#include <cstddef>

#include "call_entry.h"

// On 32-bit Windows a library's entries may be __stdcall (the entry removes its arguments) or
// __cdecl (the caller removes them), and nothing in a name found by GetProcAddress says which.
// C++ can only call through a pointer of one convention, so the call is made here in assembly:
// push the words, last first, call, and restore the stack pointer from the frame, whatever the
// entry removed. The entry sees the stack aligned to 16 bytes at its call, as GCC's code expects.
//
// int qzr_call_entry_i686(EntryAddress entry, const CallWord* words, size_t count), __cdecl.
// %ebp and %esi are saved by both conventions, so the frame pointer survives any entry.
asm(R"(
    .text
    .p2align 4
qzr_call_entry_i686:
    pushl   %ebp
    movl    %esp, %ebp
    pushl   %esi
    movl    12(%ebp), %esi
    movl    16(%ebp), %ecx
    leal    0(,%ecx,4), %eax
    movl    %esp, %edx
    subl    %eax, %edx
    andl    $-16, %edx
    addl    %eax, %edx
    movl    %edx, %esp
1:
    testl   %ecx, %ecx
    jz      2f
    decl    %ecx
    pushl   (%esi,%ecx,4)
    jmp     1b
2:
    call    *8(%ebp)
    leal    -4(%ebp), %esp
    popl    %esi
    popl    %ebp
    ret
)");

extern "C" int CallEntryI686(qzr::dynlib::EntryAddress entry, const qzr::CallWord* words,
                             std::size_t count) __asm__("qzr_call_entry_i686");

namespace qzr {

static_assert(sizeof(CallWord) == 4, "the routine pushes 32-bit words");

int CallEntry(dynlib::EntryAddress entry, std::span<const CallWord> words) {
    if (words.size() > kMaxCallWords) return 0;
    return CallEntryI686(entry, words.data(), words.size());
}

}  // namespace qzr
