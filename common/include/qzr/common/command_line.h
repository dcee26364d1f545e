#pragma once

namespace qzr {

// The process's command line as one string, program name first (quoted if it holds a blank).
// Where the system hands a program its arguments split, they are joined with single blanks.
const char* RawCommandLine();

// Ring text: argument n of the command line (0 is the program name). n < 0 gives the whole tail
// after the program name, quotes and trailing blanks kept. An argument ends at a space (not at a
// tab) or, when it opens with a double quote, at the closing quote, which is not part of it.
// Asking beyond the last argument gives the empty text.
char* CommandArgumentOf(const char* commandLine, int n);

// CommandArgumentOf on this process's command line.
char* CommandArgument(int n);

}  // namespace qzr
