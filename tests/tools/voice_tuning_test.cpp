// The example voices against the sound their notes promise (examples/voices/README.md): each is
// rendered alone, one held note then its release, through the same player and chip as a song,
// and measured: level, attack, decay, release, brightness (spectral centroid), no clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "qzr/tools/render.h"
#include "qzr/tools/song_input.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

constexpr int kRate = 44'100;
constexpr int kWindow = 441;              // 10 ms of envelope
constexpr double kOnsetSeconds = 0.030;   // row 0 plays at tick 6
constexpr double kKeyOffSeconds = 1.920;  // the note's last row (63 at 30 ms a row)

struct Measured {
    double levelDb = 0;        // loudest 5 ms RMS, dB below full scale
    double attack = 0;         // s from the key-on to 3 dB under that level
    double decayTo20Db = 0;    // s from the peak until 20 dB under it while held; -1: never
    double heldDropDb = 0;     // dB from the peak down to the level just before the key-off
    double release = 0;        // s from the key-off until 40 dB under the level there
    double centroidEarly = 0;  // Hz, over the first 23 ms
    double centroidLate = 0;   // Hz, over 23 ms once the strike has passed
    bool clipped = false;
};

std::vector<double> Mono(const std::vector<std::int16_t>& interleaved) {
    std::vector<double> mono(interleaved.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        mono[i] = (interleaved[2 * i] + interleaved[2 * i + 1]) / 2.0;
    }
    return mono;
}

double Centroid(const std::vector<double>& x, double atSeconds) {
    constexpr int kSize = 1024;
    const auto first = static_cast<std::size_t>(atSeconds * kRate);
    double weighted = 0;
    double total = 0;
    for (int bin = 1; bin < kSize / 2; ++bin) {
        double re = 0;
        double im = 0;
        for (int n = 0; n < kSize; ++n) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / (kSize - 1));
            const double v = x[first + static_cast<std::size_t>(n)] * hann;
            const double phase = 2 * std::numbers::pi * bin * n / kSize;
            re += v * std::cos(phase);
            im -= v * std::sin(phase);
        }
        const double magnitude = std::hypot(re, im);
        weighted += magnitude * bin * kRate / kSize;
        total += magnitude;
    }
    return total > 0 ? weighted / total : 0;
}

Measured Measure(const std::vector<std::int16_t>& interleaved) {
    Measured m;
    for (const std::int16_t s : interleaved) m.clipped |= s == 32767 || s == -32768;
    const std::vector<double> x = Mono(interleaved);
    std::vector<double> envelope;
    for (std::size_t i = 0; i + kWindow <= x.size(); i += kWindow) {
        double sum = 0;
        for (std::size_t j = i; j < i + kWindow; ++j) sum += x[j] * x[j];
        envelope.push_back(std::sqrt(sum / kWindow));
    }
    auto windowAt = [](double seconds) {
        return static_cast<std::size_t>(seconds * kRate / kWindow);
    };
    const std::size_t onset = windowAt(kOnsetSeconds);
    const std::size_t keyOff = windowAt(kKeyOffSeconds);
    const auto peakAt = static_cast<std::size_t>(
        std::max_element(envelope.begin() + static_cast<std::ptrdiff_t>(onset),
                         envelope.begin() + static_cast<std::ptrdiff_t>(keyOff)) -
        envelope.begin());
    const double peak = envelope[peakAt];
    m.levelDb = 20 * std::log10(peak / 32768.0);
    std::size_t i = onset;
    while (envelope[i] < 0.7 * peak) ++i;
    m.attack = static_cast<double>(i - onset) * kWindow / kRate;
    m.decayTo20Db = -1;
    for (std::size_t j = peakAt; j < keyOff; ++j) {
        if (envelope[j] < 0.1 * peak) {
            m.decayTo20Db = static_cast<double>(j - peakAt) * kWindow / kRate;
            break;
        }
    }
    // Detuned carriers beat, so the held level is taken over the last half second.
    double held = 0;
    for (std::size_t j = keyOff - 50; j < keyOff; ++j) held += envelope[j] * envelope[j];
    m.heldDropDb = 20 * std::log10(peak / std::sqrt(held / 50));
    const double atKeyOff = envelope[keyOff];
    std::size_t k = keyOff;
    while (k + 1 < envelope.size() && envelope[k] >= 0.01 * atKeyOff) ++k;
    m.release = static_cast<double>(k - keyOff) * kWindow / kRate;
    m.centroidEarly = Centroid(x, kOnsetSeconds);
    return m;
}

Measured RenderVoice(const TempDir& dir, const std::string& voice, const std::string& octave,
                     double lateSeconds) {
    const auto song = CompileInto(dir.Path(), voice + ".opm.mml",
                                  MakeSource(voice, 6, 128, SongKind::OPM, {"ch1", octave, "a1"},
                                             "voices/" + voice + ".voice"),
                                  SongKind::OPM);
    const auto view = tools::LoadSongImage(song, SongKind::OPM, stderr);
    tools::RenderOptions options;
    std::string error;
    const auto length = tools::PlanRender(*view, options, error);
    std::vector<std::int16_t> samples;
    EXPECT_TRUE(tools::RenderFrames(
        *view, song, options, *length,
        [&samples](std::span<const std::int16_t> frames) {
            samples.insert(samples.end(), frames.begin(), frames.end());
            return true;
        },
        {}, error))
        << error;
    Measured m = Measure(samples);
    m.centroidLate = Centroid(Mono(samples), kOnsetSeconds + lateSeconds);
    return m;
}

TEST(ExampleVoices, SoundAsTheirNotesSay) {
    TempDir dir("qzr_voices");
    std::filesystem::copy(SourcePath("examples/voices"), dir / "voices");
    struct Target {
        const char* voice;
        const char* octave;
        double minAttack, maxAttack;    // s
        double minRelease, maxRelease;  // s, for the held voices
        double maxDecay;                // s to -20 dB for the struck ones; 0: held
        double maxHeldDrop;             // dB the held ones may fade before the key-off
        double lateSeconds;             // when the strike has passed, for the brightness
        bool brighterAtTheStrike;
    };
    const std::vector<Target> targets{
        {"epiano", "o4", 0.0, 0.010, 0.3, 1.0, 0, 20, 0.5, true},
        {"bass", "o2", 0.0, 0.010, 0.02, 0.3, 0, 12, 0.3, true},
        {"brass", "o4", 0.040, 0.120, 0.15, 0.6, 0, 8, 0.5, false},
        {"strings", "o4", 0.150, 0.600, 0.5, 2.0, 0, 8, 0.5, false},
        {"woodblock", "o5", 0.0, 0.010, 0.0, 0.0, 0.100, 0, 0.03, true},
        {"tom", "o2", 0.0, 0.010, 0.0, 0.0, 0.500, 0, 0.1, true},
    };
    std::map<std::string, Measured> measured;
    for (const Target& t : targets) {
        SCOPED_TRACE(t.voice);
        const Measured m = RenderVoice(dir, t.voice, t.octave, t.lateSeconds);
        measured[t.voice] = m;
        std::printf(
            "%-10s level %6.1f dB  attack %5.3f s  held -%4.1f dB  decay-20dB %6.3f s  "
            "release %5.3f s  centroid %5.0f -> %5.0f Hz\n",
            t.voice, m.levelDb, m.attack, m.heldDropDb, m.decayTo20Db, m.release, m.centroidEarly,
            m.centroidLate);
        EXPECT_FALSE(m.clipped);
        EXPECT_GE(m.attack, t.minAttack);
        EXPECT_LE(m.attack, t.maxAttack);
        if (t.maxDecay == 0) {
            EXPECT_LT(m.heldDropDb, t.maxHeldDrop) << "fades too much while held";
            EXPECT_GE(m.release, t.minRelease);
            EXPECT_LE(m.release, t.maxRelease);
        } else {
            EXPECT_GT(m.decayTo20Db, 0);
            EXPECT_LE(m.decayTo20Db, t.maxDecay);
        }
        if (t.brighterAtTheStrike) {
            EXPECT_GT(m.centroidEarly, m.centroidLate);
        }
        // Eight channels share the mix: no single voice comes near full scale.
        EXPECT_LT(m.levelDb, -9.0);
        EXPECT_GT(m.levelDb, -40.0);
    }
    // The melody is the loudest voice and the pad sits well under it.
    for (const auto& [name, m] : measured) {
        if (name != "brass") {
            EXPECT_LE(m.levelDb, measured["brass"].levelDb + 1.5) << name;
        }
    }
    EXPECT_LE(measured["strings"].levelDb, measured["brass"].levelDb - 4.0);
}

}  // namespace
}  // namespace qzr::test
