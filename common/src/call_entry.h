#pragma once

#include <span>

#include "dynlib.h"
#include "qzr/common/call_by_name.h"

namespace qzr {

// Calls the entry with the words as its arguments, first word first, and returns its int result;
// at most kMaxCallWords words (more give 0 without a call). The one place that gives an entry
// found by name its type. CMake picks the file: call_entry_i686.cpp on 32-bit Windows, where an
// entry may be __stdcall or __cdecl, call_entry_generic.cpp everywhere else.
int CallEntry(dynlib::EntryAddress entry, std::span<const CallWord> words);

}  // namespace qzr
