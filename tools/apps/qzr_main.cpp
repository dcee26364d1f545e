// qzr: the command line around the compiler, player and emulator. This file only parses the
// command line; the subcommands live in qzr::tools.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "qzr/format/song_image.h"
#include "qzr/tools/build.h"
#include "qzr/tools/channel_list.h"
#include "qzr/tools/check.h"
#include "qzr/tools/console.h"
#include "qzr/tools/diff.h"
#include "qzr/tools/info.h"
#include "qzr/tools/play.h"
#include "qzr/tools/render.h"
#include "qzr/tools/song_input.h"
#include "qzr/tools/vgm_tools.h"
#include "qzr/tools/voice.h"

namespace {

using qzr::SongKind;

constexpr int kUsageError = 2;

// --chip as given, else what the file name says; nullopt after a message.
std::optional<SongKind> ResolveSongKind(const std::string& chipOption, const std::string& path) {
    if (!chipOption.empty()) return qzr::ParseSongKind(chipOption);
    if (const auto kind = qzr::SongKindFromFileName(path)) return kind;
    std::fprintf(stderr,
                 "qzr: %s: the name does not say the chip (.opm. or .opn2.); give --chip opm or "
                 "--chip opn2\n",
                 path.c_str());
    return std::nullopt;
}

CLI::Option* AddChipOption(CLI::App& command, std::string& chip) {
    return command
        .add_option("--chip", chip, "opm or opn2 (default: from .opm. / .opn2. in the name)")
        ->check(CLI::IsMember({"opm", "opn2"}));
}

struct RenderArgs {
    std::string song, chip, output, mute, solo, stems, author;
    int loops = 1;
    std::optional<double> seconds;
    double maxSeconds = qzr::tools::kDefaultMaxSeconds;
    double fade = 0;
    double gain = 0;
    int rate = qzr::tools::kDefaultSampleRate;
};

int RunRenderCommand(const RenderArgs& args) {
    // A VGM says its own chip.
    const bool vgmInput = qzr::tools::IsVgmPath(args.song);
    const auto kind =
        vgmInput ? std::optional<SongKind>(SongKind::OPM) : ResolveSongKind(args.chip, args.song);
    if (!kind) return kUsageError;
    const int channels = qzr::TargetFor(*kind).channelCount;
    qzr::tools::RenderOptions options;
    options.song = args.song;
    options.kind = *kind;
    options.output = args.output;
    options.loops = args.loops;
    options.seconds = args.seconds;
    options.maxSeconds = args.maxSeconds;
    options.fadeSeconds = args.fade;
    options.gainDb = args.gain;
    options.stemsFolder = args.stems;
    options.sampleRate = args.rate;
    options.author = args.author;
    if (!args.mute.empty() || !args.solo.empty()) {
        const std::string& list = args.solo.empty() ? args.mute : args.solo;
        const auto mask = qzr::tools::ParseChannelList(list, channels);
        if (!mask || (!args.mute.empty() && !args.solo.empty())) {
            std::fprintf(stderr,
                         "qzr: --mute and --solo take channel numbers 1 to %d separated by "
                         "commas, and only one of them\n",
                         channels);
            return kUsageError;
        }
        options.mutedChannels = args.solo.empty() ? *mask : static_cast<std::uint8_t>(~*mask);
    }
    options.progressBar = qzr::tools::IsAnsiTerminal(stderr);
    if (options.output == "-") qzr::tools::UseBinaryStandardOutput();  // the WAV's bytes
    return qzr::tools::RunRender(options, stdout, stderr);
}

struct InfoArgs {
    std::string song, chip, rows;
};

int RunInfoCommand(const InfoArgs& args) {
    if (qzr::tools::IsVgmPath(args.song)) {
        const auto song = qzr::tools::LoadVgm(args.song, stderr, true);
        if (!song) return kUsageError;
        std::fputs(qzr::tools::DescribeVgm(*song, args.song).c_str(), stdout);
        return 0;
    }
    qzr::tools::RowRange range;
    if (!args.rows.empty()) {
        const auto parsed = qzr::tools::ParseRowRange(args.rows);
        if (!parsed) {
            std::fprintf(stderr,
                         "qzr: --rows takes A:B (rows from 0; either end may be left out)\n");
            return kUsageError;
        }
        range = *parsed;
    }
    std::optional<qzr::tools::LoadedSong> song;
    if (qzr::tools::IsQmmlSource(args.song)) {
        // A source says its chip with #chip or its name; --chip only where neither does.
        auto built = qzr::tools::BuildInMemory(
            args.song, args.chip.empty() ? std::nullopt : qzr::ParseSongKind(args.chip), stderr);
        if (!built) return kUsageError;
        const auto size = static_cast<std::uint64_t>(built->song.size());
        qzr::SongImage image{built->classic.kind, std::move(built->song)};
        auto findings = qzr::CheckSongImage(image, size);
        song.emplace(qzr::tools::LoadedSong{std::move(image), size, std::move(findings)});
    } else {
        const auto kind = ResolveSongKind(args.chip, args.song);
        if (!kind) return kUsageError;
        song = qzr::tools::LoadSong(args.song, *kind, stderr);
    }
    if (!song) return kUsageError;
    std::fputs(qzr::tools::DescribeSong(song->image, args.song, range, song->findings).c_str(),
               stdout);
    return 0;
}

struct PlayArgs {
    std::string song, chip, watch;
    std::optional<int> loops;
    std::optional<double> seconds;
};

int RunPlayCommand(const PlayArgs& args) {
    if (qzr::tools::IsVgmPath(args.song)) {
        return qzr::tools::RunVgmPlay(args.song, args.loops.value_or(1), args.seconds, stdout,
                                      stderr);
    }
    const auto kind = ResolveSongKind(args.chip, args.song);
    if (!kind) return kUsageError;
    qzr::tools::PlayOptions options;
    options.song = args.song;
    options.kind = *kind;
    options.loops = args.loops;
    options.seconds = args.seconds;
    if (!args.watch.empty()) options.watch = args.watch;
    options.terminal = qzr::tools::IsAnsiTerminal(stdout);
    return qzr::tools::RunPlay(options, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"qzr: build, render, play, inspect, check and compare songs"};
    app.require_subcommand(0, 1);

    RenderArgs render;
    CLI::App* renderCommand = app.add_subcommand(
        "render", "render a song to WAV or FLAC, export it as VGM, or render a VGM");
    renderCommand->add_option("song", render.song, "song file (.qzr), or a .vgm / .vgz")
        ->required();
    AddChipOption(*renderCommand, render.chip);
    renderCommand->add_option(
        "-o,--output", render.output,
        "OUT.wav, OUT.flac, OUT.vgm, OUT.vgz or - for WAV on standard output");
    renderCommand->add_option("--author", render.author, "the author in a .vgm / .vgz's tag");
    renderCommand->add_option("--loops", render.loops, "passes before the 2 s release tail")
        ->check(CLI::Range(1, 1000));
    // Numbers are checked where the render is planned, non-finite ones included.
    renderCommand->add_option("--seconds", render.seconds, "at most this long");
    renderCommand->add_option("--max-seconds", render.maxSeconds,
                              "the longest render allowed (default 3600)");
    renderCommand->add_option("--fade", render.fade,
                              "after the passes, fade out over this long as the music plays on");
    renderCommand->add_option("--gain", render.gain, "level change in dB (-96 to 96)");
    renderCommand->add_option("--stems", render.stems,
                              "folder for the mix and one file per channel (NAME.chN.wav)");
    renderCommand->add_option("--rate", render.rate, "sample rate in Hz")
        ->check(CLI::Range(8'000, 192'000));
    renderCommand->add_option("--mute", render.mute, "channels to silence, e.g. 1,3");
    renderCommand->add_option("--solo", render.solo, "the only channels to hear, e.g. 2");

    InfoArgs info;
    CLI::App* infoCommand = app.add_subcommand("info", "header, voices, timing and rows of a song");
    infoCommand->add_option("song", info.song, "song file (.qzr) or qmml source")->required();
    AddChipOption(*infoCommand, info.chip);
    infoCommand->add_option("--rows", info.rows, "rows A:B (from 0, both included)");

    std::string buildSource, buildOutput;
    CLI::App* buildCommand = app.add_subcommand("build", "compile a qmml source into a song file");
    buildCommand->add_option("source", buildSource, "qmml source (NAME.opm.qmml, NAME.opn2.qmml)")
        ->required();
    buildCommand->add_option("-o,--output", buildOutput,
                             "song file (default: the source's name with .qmml replaced by .qzr)");

    std::string lowerSource, lowerFolder;
    CLI::App* lowerCommand = app.add_subcommand(
        "lower", "write a qmml source as the classic source and voice files opmcomp reads");
    lowerCommand->add_option("source", lowerSource, "qmml source")->required();
    lowerCommand->add_option("-o,--output", lowerFolder, "folder for the classic files")
        ->required();

    qzr::tools::VoiceOptions voice;
    std::string voiceFile, voiceOutput;
    CLI::App* voiceCommand = app.add_subcommand(
        "voice", "show a voice as text, write it as a voice file, or hear it on one note");
    voiceCommand->add_option("file", voiceFile, "NAME.voice, or a qmml text defining voices")
        ->required();
    voiceCommand->add_option("--voice", voice.number, "which @N of a text")
        ->check(CLI::Range(0, 255));
    voiceCommand->add_option("-o,--output", voiceOutput,
                             "X.voice (the 25 bytes) or X.wav / X.flac (the voice on one note)");
    voiceCommand->add_option("--note", voice.note, "the note heard (default o4a)");
    voiceCommand->add_option("--seconds", voice.seconds, "how long it is held (default 2)")
        ->check(CLI::PositiveNumber);

    std::string checkSource, checkChip;
    CLI::App* checkCommand =
        app.add_subcommand("check", "what the compiler would ignore or get wrong in a source");
    checkCommand->add_option("source", checkSource, "MML source (classic, or qmml: NAME.qmml)")
        ->required();
    AddChipOption(*checkCommand, checkChip);

    std::string diffA, diffB, diffChip;
    CLI::App* diffCommand = app.add_subcommand("diff", "how two songs differ (status as cmp)");
    diffCommand->add_option("a", diffA, "first song file")->required();
    diffCommand->add_option("b", diffB, "second song file")->required();
    AddChipOption(*diffCommand, diffChip);

    PlayArgs play;
    CLI::App* playCommand = app.add_subcommand("play", "play a song in real time");
    playCommand->add_option("song", play.song, "song file (.qzr)")->required();
    AddChipOption(*playCommand, play.chip);
    playCommand->add_option("--loops", play.loops, "stop after this many passes")
        ->check(CLI::Range(1, 100000));
    playCommand->add_option("--seconds", play.seconds, "stop after this long")
        ->check(CLI::PositiveNumber);
    playCommand->add_option("--watch", play.watch,
                            "MML source to recompile and play on from the same row when saved");

    bool quiet = false;
    CLI::App* devicesCommand = app.add_subcommand(
        "devices", "whether an audio device can be opened (status 0) or not (1)");
    devicesCommand->add_flag("-q,--quiet", quiet, "only the exit status");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : kUsageError;
    }
    if (renderCommand->parsed()) return RunRenderCommand(render);
    if (buildCommand->parsed()) {
        return qzr::tools::RunBuild(buildSource, buildOutput, stdout, stderr);
    }
    if (lowerCommand->parsed()) {
        return qzr::tools::RunLower(lowerSource, lowerFolder, stdout, stderr);
    }
    if (voiceCommand->parsed()) {
        voice.file = voiceFile;
        voice.output = voiceOutput;
        return qzr::tools::RunVoice(voice, stdout, stderr);
    }
    if (infoCommand->parsed()) return RunInfoCommand(info);
    if (checkCommand->parsed()) {
        if (qzr::tools::IsQmmlSource(checkSource)) {
            return qzr::tools::RunQmmlCheck(
                checkSource, checkChip.empty() ? std::nullopt : qzr::ParseSongKind(checkChip),
                stderr);
        }
        const auto kind = ResolveSongKind(checkChip, checkSource);
        if (!kind) return kUsageError;
        return qzr::tools::RunCheck(checkSource, qzr::TargetFor(*kind), stderr);
    }
    if (diffCommand->parsed()) {
        // Each song is read with its own chip's layout, unless --chip names one for both.
        const auto kindA = ResolveSongKind(diffChip, diffA);
        if (!kindA) return kUsageError;
        const auto kindB = ResolveSongKind(diffChip, diffB);
        if (!kindB) return kUsageError;
        return qzr::tools::RunDiff({diffA, *kindA}, {diffB, *kindB}, stdout, stderr);
    }
    if (playCommand->parsed()) return RunPlayCommand(play);
    if (devicesCommand->parsed()) {
        const bool device = qzr::tools::AudioDeviceAvailable();
        if (!quiet)
            std::puts(device ? "audio device: available" : "audio device: none (silent clock)");
        return device ? 0 : 1;
    }
    std::fputs(app.help().c_str(), stderr);
    return kUsageError;
}
