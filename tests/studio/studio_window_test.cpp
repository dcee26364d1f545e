// The studio's window driven as a composer uses it, on the offscreen platform; the song plays on
// the silent clock where there is no sound device, in real time all the same.
#include "qzr/studio/studio_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <fstream>
#include <sstream>

#include "qzr/studio/classic_source.h"
#include "qzr/test_support/temp_dir.h"
#include "qzr/tools/sound_file.h"

namespace qzr::studio {
namespace {

// One voice written out, so the source needs no file; ch1 plays four quarter notes, then g.
constexpr const char* kSource =
    "#title Studio\n"
    "#speed 6\n"
    "@1 { 4 5\n"
    "  M1: 31 12 4 10 4 28 0 1 0 0 0\n"
    "  M2: 31 10 4 10 4 36 0 2 0 0 0\n"
    "  C1: 31  6 2 10 1 12 0 1 0 0 0\n"
    "  C2: 31  6 2 10 1 14 0 1 0 0 0 }\n"
    "ch1 @1 o4 c4 d4 e4 f4 | g1 |\n"
    "ch2 @1 o3 c1 | g1 |\n";
constexpr int kTuneLine = 8;

// Waits up to a second for `done`, letting the window's timers run.
template <typename Done>
bool WaitFor(Done done) {
    for (int i = 0; i < 100 && !done(); ++i) QTest::qWait(10);
    return done();
}

TEST(StudioWindow, FindingsAppearAsTypedAndGoWhenMended) {
    StudioWindow window;
    window.Editor().setPlainText(QString(kSource) + "ch1 q4\n");
    window.CompileNow();
    ASSERT_GE(window.DiagnosticList().count(), 1);
    EXPECT_TRUE(window.DiagnosticList().item(0)->text().contains("line 10"))
        << window.DiagnosticList().item(0)->text().toStdString();
    EXPECT_EQ(window.Editor().Diagnostics().front().line, 10);
    EXPECT_TRUE(window.StatusText().contains("error")) << window.StatusText().toStdString();
    EXPECT_FALSE(window.HasSong());

    window.Editor().setPlainText(kSource);
    // Without asking: the compile comes once typing pauses.
    EXPECT_TRUE(WaitFor([&] { return window.HasSong(); }));
    EXPECT_EQ(window.DiagnosticList().count(), 0);
    EXPECT_TRUE(window.Editor().Diagnostics().empty());
}

// The compiles run beside the GUI thread; each text's result is given on the GUI thread once,
// and never after a later text's. The texts are told apart by their count of errors.
TEST(LiveCompiler, GivesEachLatestResultOnceOnTheGuiThread) {
    std::vector<int> given;
    bool onGuiThread = true;
    LiveCompiler compiler([&](const qmml::Result& result) {
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        given.push_back(result.errors);
    });
    const auto withErrors = [](int count) {
        QByteArray text(kSource);
        for (int i = 0; i < count; ++i) text += "ch1 q4\n";
        return text;
    };
    const auto change = [&](int errors) {
        compiler.SourceChanged(withErrors(errors), ".", "s.opm.qmml");
    };
    const auto settle = [&] { QTest::qWait(LiveCompiler::kQuietMs * 3); };

    change(1);  // a burst of typing: only its last text is compiled
    change(2);
    change(3);
    settle();
    EXPECT_EQ(given, std::vector<int>({3}));
    change(4);  // asked for at once: given now, and not again from the thread
    compiler.CompileNow();
    EXPECT_EQ(given, std::vector<int>({3, 4}));
    settle();
    change(5);  // the compile under way, or done, when asked for: given once all the same
    QTest::qWait(LiveCompiler::kQuietMs + 1);
    compiler.CompileNow();
    change(6);
    settle();
    EXPECT_EQ(given, std::vector<int>({3, 4, 5, 6}));
    EXPECT_TRUE(onGuiThread);
}

TEST(StudioWindow, PlaysFromTheCursorAndOnThroughAnEdit) {
    StudioWindow window;
    window.Editor().setPlainText(kSource);
    // The cursor on "e4" of ch1: the third quarter note, row 32.
    window.Editor().MoveCursorTo({kTuneLine, 17});
    window.PlayFromCursor();
    ASSERT_TRUE(window.Playing()) << window.StatusText().toStdString();
    EXPECT_EQ(window.PlayedFrom(), 32);
    EXPECT_GE(window.PlayingRow(), 32);
    EXPECT_TRUE(WaitFor([&] { return window.PlayingRow() > 34; }));
    // e4 is marked as sounding while it plays, and ch2's whole note with it.
    EXPECT_TRUE(WaitFor([&] {
        const auto& playing = window.Editor().Playing();
        return std::find(playing.begin(), playing.end(), SourcePlace{kTuneLine, 17}) !=
               playing.end();
    }));
    EXPECT_TRUE(window.StatusText().startsWith("Playing row")) << window.StatusText().toStdString();
    // The audio side says how it keeps up: it has made chunks, and the load is shown.
    EXPECT_GT(window.AudioLoad().chunks, 0u);
    const auto labels = window.findChildren<QLabel*>();
    const auto audioLoad = std::find_if(labels.begin(), labels.end(), [](const QLabel* label) {
        return label->accessibleName() == "Audio load";
    });
    ASSERT_NE(audioLoad, labels.end());
    EXPECT_TRUE(WaitFor([&] { return (*audioLoad)->text().startsWith("Audio "); }));
    // The tracker follows, its rows the song's own.
    EXPECT_TRUE(WaitFor([&] { return window.Tracker().ShownRow() >= 32; }));
    EXPECT_EQ(window.Tracker().CellText(32, 0), "E-4 on");
    EXPECT_EQ(window.Tracker().CellText(0, 1), "C-3 on");

    // An edit that compiles is heard from the row playing; one that does not keeps the song.
    const int before = window.PlayingRow();
    QString edited = kSource;
    edited.replace("f4 |", "a4 |");
    window.Editor().setPlainText(edited);
    window.CompileNow();
    EXPECT_TRUE(window.Playing());
    EXPECT_GE(window.PlayingRow(), before);
    window.Editor().setPlainText(edited + "ch1 q\n");
    window.CompileNow();
    EXPECT_TRUE(window.Playing());
    EXPECT_TRUE(window.StatusText().contains("the old song plays on"))
        << window.StatusText().toStdString();
    window.StopPlaying();
    EXPECT_FALSE(window.Playing());
    EXPECT_TRUE(window.Editor().Playing().empty());
}

// From the bar: the start of the bar the cursor's event is in.
TEST(StudioWindow, PlaysFromTheCursorsBar) {
    struct Case {
        SourcePlace cursor;
        int row;
    };
    for (const Case c :
         {Case{{kTuneLine, 17}, 0}, Case{{kTuneLine, 25}, 64}, Case{{kTuneLine + 1, 16}, 64}}) {
        SCOPED_TRACE(c.cursor.column);
        StudioWindow window;
        window.Editor().setPlainText(kSource);
        window.Editor().MoveCursorTo(c.cursor);
        window.PlayFromBar();
        EXPECT_EQ(window.PlayedFrom(), c.row);
        window.StopPlaying();
    }
}

// The bars a selection touches loop (the cursor's bar without a selection), at one tick a row
// here, so a 64-row bar lasts 0.32 s; an edit that compiles goes on looping the same bars.
TEST(StudioWindow, LoopsTheSelectedBarsThroughAnEdit) {
    struct Case {
        SourcePlace from;
        SourcePlace to;  // just past the selection
        tools::LivePlayback::RowLoop loop;
        const char* status;
    };
    const Case cases[] = {
        {{kTuneLine, 25}, {kTuneLine, 25}, {64, 64}, "looping bar 2"},  // the cursor in "g1"
        {{kTuneLine, 17}, {kTuneLine, 19}, {0, 64}, "looping bar 1"},   // "e4" selected
        {{kTuneLine, 14}, {kTuneLine + 1, 17}, {0, 128}, "looping bars 1 to 2"},
    };
    QString source(kSource);
    source.replace("#speed 6", "#speed 1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        StudioWindow window;
        window.Editor().setPlainText(source);
        window.Editor().MoveCursorTo(c.to);
        QTextCursor cursor = window.Editor().textCursor();
        const int end = cursor.position();
        window.Editor().MoveCursorTo(c.from);
        cursor.setPosition(window.Editor().textCursor().position());
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        window.Editor().setTextCursor(cursor);
        window.LoopSelectedBars();
        ASSERT_TRUE(window.Playing()) << window.StatusText().toStdString();
        EXPECT_EQ(window.PlayedFrom(), c.loop.first);
        EXPECT_EQ(window.Loop(), c.loop);
        // Round and round: the row comes back to the loop's start and never leaves the loop.
        const auto inLoop = [&](int row) {
            return row >= c.loop.first && row < c.loop.first + c.loop.count;
        };
        const auto comesRound = [&] {
            int highest = -1;
            for (int i = 0; i < 300; ++i, QTest::qWait(10)) {
                const int row = window.PlayingRow();
                if (!inLoop(row)) return false;
                if (row < highest) return true;
                highest = std::max(highest, row);
            }
            return false;
        };
        EXPECT_TRUE(comesRound());
        EXPECT_TRUE(WaitFor([&] { return window.StatusText().contains(c.status); }))
            << window.StatusText().toStdString();
        window.Editor().setPlainText(QString(source).replace("#title Studio", "#title Edited"));
        window.CompileNow();
        EXPECT_EQ(window.Loop(), c.loop);
        EXPECT_TRUE(comesRound());
        window.StopPlaying();
    }
}

// A classic source compiles to the song its qmml twin builds, its events mapped to their lines,
// and plays from the cursor in the window like a qmml source.
TEST(StudioWindow, AClassicSourceCompilesMapsAndPlaysFromTheCursor) {
    const std::filesystem::path examples = QZR_SOURCE_DIR "/examples";
    const auto read = [&](const char* name) {
        std::ifstream in(examples / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string bytes = text.str();
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    const std::vector<std::uint8_t> classic = read("harbour_lights.opm.mml");
    const qmml::Result result =
        CompileClassic(classic, SongKind::OPM, examples, examples / "harbour_lights.opm.mml");
    const std::vector<std::uint8_t> twin = read("harbour_lights.opm.qmml");
    qmml::Options options;
    options.sourceName = "harbour_lights.opm.qmml";
    options.baseFolder = examples;
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.song, qmml::Compile(twin, options).song);
    ASSERT_FALSE(result.events.empty());
    // ch1's first notes: "a4." on line 22, then "b8" on line 23 at row 24.
    EXPECT_EQ(result.events[0], (qmml::MappedEvent{0, 0, 24, 22, 1, true}));
    EXPECT_EQ(result.events[1], (qmml::MappedEvent{0, 24, 8, 23, 1, true}));
    for (std::size_t i = 1; i < result.events.size(); ++i) {
        const auto& a = result.events[i - 1];
        const auto& b = result.events[i];
        ASSERT_TRUE(a.channel < b.channel || (a.channel == b.channel && a.row <= b.row)) << i;
    }

    StudioWindow window;
    QString error;
    ASSERT_TRUE(window.OpenFile(examples / "harbour_lights.opm.mml", error)) << error.toStdString();
    window.Editor().MoveCursorTo({23, 1});
    window.PlayFromCursor();
    ASSERT_TRUE(window.Playing()) << window.StatusText().toStdString();
    EXPECT_EQ(window.PlayedFrom(), 24);
    EXPECT_EQ(window.DiagnosticList().count(), 0);
    window.StopPlaying();
}

// A muted channel falls silent at once (its meter at 0, its oscilloscope flat) while the others
// play on; solo hears one channel alone, and solo of it again gives every channel back.
TEST(StudioWindow, MuteAndSoloSilenceChannelsAtOnce) {
    StudioWindow window;
    window.Editor().setPlainText(kSource);
    window.PlayFromStart();
    ASSERT_TRUE(window.Playing());
    ASSERT_TRUE(WaitFor([&] { return window.MeterLevel(0) > 0 && window.MeterLevel(1) > 0; }));
    // The oscilloscopes draw the two channels playing, and the others flat.
    EXPECT_TRUE(WaitFor([&] { return window.Scope(0).Peak() > 0 && window.Scope(1).Peak() > 0; }));
    EXPECT_EQ(window.Scope(2).Peak(), 0);
    window.SetMuted(1, true);
    EXPECT_EQ(window.MutedChannels(), 0b10);
    // The meters show the loudest value since the last look: give them a frame or two.
    QTest::qWait(100);
    EXPECT_TRUE(WaitFor([&] { return window.MeterLevel(1) == 0; }));
    EXPECT_TRUE(WaitFor([&] { return window.Scope(1).Peak() == 0; }));
    EXPECT_GT(window.MeterLevel(0), 0);
    EXPECT_GT(window.Scope(0).Peak(), 0);
    window.Solo(1);
    EXPECT_EQ(window.MutedChannels(), 0b1111'1101);
    QTest::qWait(100);
    EXPECT_TRUE(WaitFor([&] { return window.MeterLevel(0) == 0; }));
    window.Solo(1);
    EXPECT_EQ(window.MutedChannels(), 0);
    window.StopPlaying();
}

int PeakOf(const std::filesystem::path& path) {
    std::string error;
    const auto sound = tools::ReadSoundFile(path, error);
    EXPECT_TRUE(sound) << error;
    int peak = 0;
    for (const std::int16_t s : sound ? sound->samples : std::vector<std::int16_t>{}) {
        peak = std::max(peak, std::abs(int{s}));
    }
    return peak;
}

// The export is qzr render's: the stems of a muted channel are silent, the others sound.
TEST(StudioWindow, ExportsTheSongAndItsStemsWithTheMutes) {
    test::TempDir dir("studio");
    StudioWindow window;
    window.Editor().setPlainText(kSource);
    window.SetMuted(1, true);
    QString message;
    ASSERT_TRUE(window.ExportTo(dir / "song.wav", dir / "parts", message)) << message.toStdString();
    EXPECT_TRUE(message.contains("peak")) << message.toStdString();
    EXPECT_GT(PeakOf(dir / "parts/song.wav"), 1000);
    EXPECT_GT(PeakOf(dir / "parts/song.ch1.wav"), 1000);
    EXPECT_EQ(PeakOf(dir / "parts/song.ch2.wav"), 0);
    // A refusal is told, and nothing is written.
    EXPECT_FALSE(window.ExportTo(dir / "song.mp3", {}, message));
    EXPECT_TRUE(message.contains("song.mp3: the output must end in")) << message.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "song.mp3"));
}

TEST(StudioWindow, SavedSourceReopensTheSameAndUnsavedChangesAreAskedAbout) {
    test::TempDir dir("studio");
    const auto path = dir / "song.opm.qmml";
    {
        StudioWindow window;
        window.Editor().setPlainText(kSource);
        QString error;
        ASSERT_TRUE(window.SaveTo(path, error)) << error.toStdString();
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), kSource);

        StudioWindow reopened;
        ASSERT_TRUE(reopened.OpenFile(path, error)) << error.toStdString();
        EXPECT_EQ(reopened.Editor().toPlainText(), QString(kSource));
        EXPECT_FALSE(reopened.Editor().document()->isModified());
        EXPECT_EQ(reopened.RecentFiles().front(), QString::fromStdString(path.string()));

        // Dropped on a window, a file opens there; a drop of text is no file.
        StudioWindow dropped;
        QMimeData mime;
        mime.setText("ch1 c");
        EXPECT_FALSE(dropped.OpenDropped(mime));
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
        EXPECT_TRUE(dropped.OpenDropped(mime));
        EXPECT_EQ(dropped.Editor().toPlainText(), QString(kSource));
    }
    struct Case {
        StudioWindow::SaveChoice answer;
        bool closes;
    };
    for (const Case c : {Case{StudioWindow::SaveChoice::Cancel, false},
                         Case{StudioWindow::SaveChoice::Discard, true}}) {
        StudioWindow window;
        QString error;
        ASSERT_TRUE(window.OpenFile(path, error));
        window.show();
        int asked = 0;
        window.SetSavePrompt([&] {
            ++asked;
            return c.answer;
        });
        EXPECT_TRUE(window.close()) << "nothing changed: closes without asking";
        EXPECT_EQ(asked, 0);
        window.show();
        window.Editor().appendPlainText("ch2 c");
        EXPECT_EQ(window.close(), c.closes);
        EXPECT_EQ(asked, 1);
    }
}

}  // namespace
}  // namespace qzr::studio
