#pragma once

namespace qzr {

// The process's command line as one string, program name first (quoted if it holds a blank).
// Where the system hands a program its arguments split, they are joined with single blanks.
const char* RawCommandLine();

// What the tail does with quotes around it. On Windows, where a file name cannot hold a quote,
// one pair of quotes enclosing the whole tail (as Explorer and every shell pass a path with
// blanks) is removed, so such a path can be opened; elsewhere the tail is kept as it is.
enum class TailQuotes { kKept, kEnclosingPairRemoved };

// This platform's rule for the tail.
TailQuotes PlatformTailQuotes();

// Ring text: argument n of the command line (0 is the program name). n < 0 gives the whole tail
// after the program name, quotes and trailing blanks kept. An argument ends at a space (not at a
// tab) or, when it opens with a double quote, at the closing quote, which is not part of it.
// Asking beyond the last argument gives the empty text. `tailQuotes` applies to the tail only:
// with kEnclosingPairRemoved a tail that opens and ends with a quote and holds no other loses
// those two quotes.
char* CommandArgumentOf(const char* commandLine, int n, TailQuotes tailQuotes);

// CommandArgumentOf on this process's command line, with the platform's rule for the tail.
char* CommandArgument(int n);

}  // namespace qzr
