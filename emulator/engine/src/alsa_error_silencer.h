#pragma once

namespace qzr::emulator {

// While one of these lives, the ALSA library's own error reports are not printed. Probing for a
// device on a machine without a sound card makes ALSA write a screenful of configuration errors
// to standard error; the caller says plainly that there is no device instead. The default
// reporting is put back afterwards, so later ALSA errors of the host are printed as before.
// Where ALSA is not installed this does nothing.
class AlsaErrorSilencer {
public:
    AlsaErrorSilencer();
    ~AlsaErrorSilencer();
    AlsaErrorSilencer(const AlsaErrorSilencer&) = delete;
    AlsaErrorSilencer& operator=(const AlsaErrorSilencer&) = delete;

private:
    void* library_ = nullptr;
    void* setHandler_ = nullptr;
};

}  // namespace qzr::emulator
