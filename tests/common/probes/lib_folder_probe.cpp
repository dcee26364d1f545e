// Built into ../lib beside the program folder, where the by-name search looks second.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int LibFolderProbe() { return 11; }
