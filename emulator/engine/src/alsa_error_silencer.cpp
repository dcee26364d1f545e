#include "alsa_error_silencer.h"

#include <dlfcn.h>

namespace qzr::emulator {

namespace {

// ALSA's error handler and its setter, as libasound.so.2 declares them; the library is looked
// up at run time, as SDL itself does, so that we need neither its headers nor a link to it.
using ErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                              const char* format, ...);
using SetErrorHandler = int (*)(ErrorHandler handler);

void IgnoreError(const char*, int, const char*, int, const char*, ...) {}

void Install(void* setter, ErrorHandler handler) {
    if (setter != nullptr) reinterpret_cast<SetErrorHandler>(setter)(handler);
}

}  // namespace

AlsaErrorSilencer::AlsaErrorSilencer() {
    library_ = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) return;
    setHandler_ = dlsym(library_, "snd_lib_error_set_handler");
    Install(setHandler_, &IgnoreError);
}

AlsaErrorSilencer::~AlsaErrorSilencer() {
    if (library_ == nullptr) return;
    Install(setHandler_, nullptr);  // null is ALSA's own default reporting
    dlclose(library_);
}

}  // namespace qzr::emulator
