#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QProgressBar>
#include <QSyntaxHighlighter>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "qzr/compiler/qmml_compile.h"
#include "qzr/studio/channel_scope.h"
#include "qzr/studio/live_compiler.h"
#include "qzr/studio/source_editor.h"
#include "qzr/studio/tracker_view.h"
#include "qzr/tools/live_playback.h"

namespace qzr::studio {

// The studio: a qmml source in an editor, compiled as it is typed, its findings in the margin, as
// underlines and in a list, and the song playing: from the start or from the cursor's event, and
// on from the same row after every edit that compiles (one that does not keeps the old song
// playing and says why). The tokens sounding are marked in the source as they play.
class StudioWindow final : public QMainWindow {
public:
    enum class SaveChoice { Save, Discard, Cancel };
    using SavePrompt = std::function<SaveChoice()>;

    explicit StudioWindow(QWidget* parent = nullptr);
    ~StudioWindow() override;

    bool OpenFile(const std::filesystem::path& path, QString& error);
    bool SaveTo(const std::filesystem::path& path, QString& error);
    // Asked on closing with unsaved changes; a message box unless replaced.
    void SetSavePrompt(SavePrompt prompt) { savePrompt_ = std::move(prompt); }

    // Exports the song as compiled through the same code as `qzr render`: WAV, FLAC, VGM or VGZ
    // by the output's name, with the stems into `stemsFolder` when one is given, muted channels
    // silent. Playing stops first (the player is one). A progress dialog shows while it runs;
    // the window stays responsive. False with what the render said.
    bool ExportTo(const std::filesystem::path& output, const std::filesystem::path& stemsFolder,
                  QString& message);

    void PlayFromStart();
    void PlayFromCursor();
    // From the start of the bar the cursor's event is in.
    void PlayFromBar();
    // Plays the bars the selection touches (the cursor's bar when nothing is selected) over and
    // over; an edit that compiles goes on looping them.
    void LoopSelectedBars();
    void StopPlaying();
    bool Playing() const { return playing_; }
    // The rows looped while a loop plays.
    std::optional<tools::LivePlayback::RowLoop> Loop() const;
    // The row the last Play started from, and the song's row playing now.
    int PlayedFrom() const { return playedFrom_; }
    int PlayingRow() const;

    // Mute and solo, by chip channel from 0 (Ctrl+N and Ctrl+Shift+N for channel N - 1). Solo
    // of the only channel heard gives every channel back.
    void SetMuted(int channel, bool muted);
    void Solo(int channel);
    std::uint8_t MutedChannels() const { return muted_; }
    // A channel's meter, 0 to 100: the 60 dB below full scale.
    int MeterLevel(int channel) const {
        return meters_.at(static_cast<std::size_t>(channel))->value();
    }

    // How the audio side keeps up while playing (shown as the audio load in the status bar).
    emulator::OutputLoad AudioLoad() const;

    // A channel's oscilloscope.
    const ChannelScope& Scope(int channel) const {
        return *scopes_.at(static_cast<std::size_t>(channel));
    }

    SourceEditor& Editor() { return *editor_; }
    TrackerView& Tracker() { return *tracker_; }
    QListWidget& DiagnosticList() { return *diagnostics_; }
    QString StatusText() const { return status_->text(); }
    // Compiles the text now instead of after the pause in typing.
    void CompileNow() { compiler_.CompileNow(); }
    bool HasSong() const { return song_.has_value(); }

    // Opens the first file of a drop (after the prompt for unsaved changes); false when the
    // drop holds no local file.
    bool OpenDropped(const QMimeData& dropped);

    // The files opened or saved lately, the latest first (kept in the user's settings).
    QStringList RecentFiles() const;
    static constexpr int kMostRecentFiles = 8;

protected:
    void closeEvent(QCloseEvent* event) override;
    // A file dropped on the window is opened (after the prompt for unsaved changes).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CompiledSong {
        SongKind kind = SongKind::OPM;
        std::vector<std::uint8_t> bytes;
        std::vector<qmml::MappedEvent> events;
        int rowCount = 0;
        std::int64_t barRows = 64;
    };

    void BuildMenus();
    QWidget* BuildChannelStrip();
    void ApplyMutes();
    void TextChanged();
    void Compiled(const qmml::Result& result);
    void Play(int row, std::optional<tools::LivePlayback::RowLoop> loop = {});
    // The first row of the bar `row` is in.
    int BarStart(int row) const;
    void ShowPosition();
    void ShowScopes();
    void SetStatus(const QString& text);
    void UpdateTitle();
    // The colours of a classic source or of a qmml one, by the file's name.
    void ChooseHighlighter();
    bool SaveIfAsked();  // false: cancelled
    void OpenAsked();
    void SaveAsked(bool choosePath);
    void ExportAsked(bool stems);
    void Remember(const std::filesystem::path& path);
    void FillRecentMenu();
    QMenu* recentMenu_ = nullptr;

    SourceEditor* editor_;
    TrackerView* tracker_;
    QListWidget* diagnostics_;
    std::vector<QToolButton*> muteButtons_;
    std::vector<QProgressBar*> meters_;
    std::vector<ChannelScope*> scopes_;
    std::vector<emulator::ChannelSamples> scopeSamples_;  // copied from the audio side
    std::uint8_t muted_ = 0;
    QLabel* status_;
    QLabel* audioLoad_;
    QSyntaxHighlighter* highlighter_ = nullptr;  // owned by the editor's document
    std::optional<SongKind> highlighted_;        // the classic source's chip it colours for
    LiveCompiler compiler_;
    QTimer position_;
    std::optional<CompiledSong> song_;  // the last source that compiled
    std::unique_ptr<tools::LivePlayback> playback_;
    bool playing_ = false;
    int playedFrom_ = 0;
    std::filesystem::path path_;  // empty: not saved yet
    SavePrompt savePrompt_;
};

}  // namespace qzr::studio
